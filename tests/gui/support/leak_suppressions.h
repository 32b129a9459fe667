// SF_LEAK_SUPPRESSIONS("leak:PATTERN\n..."): the leaks the leak check of a
// test program leaves alone when it runs under AddressSanitizer; nothing in
// other builds. One use per program.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define SF_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SF_LEAK_CHECKED 1
#endif
#endif

#ifdef SF_LEAK_CHECKED
#define SF_LEAK_SUPPRESSIONS(text)                         \
    extern "C" const char* __lsan_default_suppressions() { \
        return text;                                       \
    }
#else
#define SF_LEAK_SUPPRESSIONS(text)
#endif
