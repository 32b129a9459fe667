// ROM patch names: the text of the dialog and the bytes of a names file.
// The first three bytes choose the shape (patches, characters, parts), the
// fourth whether the rest is typed text or a names file. Nothing may crash;
// the text of what was read must read again to the same block.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "source/romnames.h"

namespace {

std::filesystem::path namesFile() {
    static const std::filesystem::path p = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("sf-fuzz-romnames-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d / "names.nam";
    }();
    return p;
}

// The text read into a block and shown again must be a fixed point.
void checkStable(const std::string& text, const sf::RomNamesShape& shape) {
    const auto a = sf::parseRomNames(text, shape, false);
    if (!a.block || a.block->size() != shape.blockSize()) std::abort();
    const std::string shown = sf::romNamesText(*a.block, shape);
    const auto b = sf::parseRomNames(shown, shape, false);
    if (!b.block || *b.block != *a.block) {
        std::fprintf(stderr,
                     "names text does not read back:\n--- typed\n%s\n--- shown\n%s\n--- blocks\n",
                     text.c_str(), shown.c_str());
        for (std::size_t i = 0; i < a.block->size(); ++i)
            if (b.block && (*a.block)[i] != (*b.block)[i])
                std::fprintf(stderr, "byte %zu: %02X then %02X\n", i, (*a.block)[i], (*b.block)[i]);
        std::abort();
    }
    const auto report = sf::parseRomNames(shown, shape, true);
    if (!report.report.empty()) {
        std::fprintf(stderr, "shown text has problems: %s\n", report.report.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // Small shapes keep the fuzzer fast; the bounds are tested elsewhere.
    const sf::RomNamesShape shape{data[0] % 40, data[1] % 24, data[2] % 5};
    const bool asFile = data[3] & 1;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    if (!asFile) {
        (void)sf::parseRomNames(rest, shape, true);
        // A zero byte ends a stored name (it pads names in names files), and
        // no edit box can hold one: typed text has none.
        std::string typed(rest);
        std::replace(typed.begin(), typed.end(), '\0', '?');
        checkStable(typed, shape);
        return 0;
    }
    {
        std::ofstream f(namesFile(), std::ios::binary | std::ios::trunc);
        f.write(rest.data(), static_cast<std::streamsize>(rest.size()));
    }
    const auto imported = sf::importRomNamesFile(namesFile(), shape);
    if (!imported.text) return 0;
    if (!imported.text->empty()) checkStable(*imported.text, shape);
    return 0;
}
