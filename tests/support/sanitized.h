// Randomised walks take ten times longer under AddressSanitizer; there they keep
// a tenth of their rounds, which still covers every kind of block.
#pragma once

namespace sf::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// `rounds` in a plain build, a tenth (at least one) under the sanitizer.
constexpr unsigned sanitizedRounds(unsigned rounds) {
    return kSanitized ? (rounds / 10 > 0 ? rounds / 10 : 1) : rounds;
}

}  // namespace sf::test
