// Settings file reader: any bytes must load without a crash, and the text
// written after loading them must read back to exactly the same text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    sf::Config first("Main");
    first.loadText(input);
    const std::string once = first.toText();

    sf::Config second("Main");
    second.loadText(once);
    const std::string twice = second.toText();
    if (twice != once) {
        std::fprintf(stderr, "settings text does not read back:\n--- first\n%s\n--- second\n%s\n",
                     once.c_str(), twice.c_str());
        std::abort();
    }

    // The accessors must cope with whatever the file held.
    std::uint8_t buf[16];
    for (const auto& k : first.root().children()) {
        if (k->isSection()) continue;
        (void)first.readInt(k->name(), 0, 0);
        (void)first.readU16(k->name(), 0, 0);
        (void)first.readBytes(k->name(), 0, buf);
    }
    return 0;
}
