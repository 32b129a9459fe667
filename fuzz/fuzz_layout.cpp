// The window layout file: any bytes load without a crash, and a layout
// saved after loading them loads back to a layout that saves the same file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor/session.h"

namespace {

std::filesystem::path scratch() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("sf-fuzz-layout-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = scratch() / "in.dat";
    const auto once = scratch() / "once.dat";
    const auto twice = scratch() / "twice.dat";
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    sf::WindowLayout first;
    first.load(in);
    if (first.documentCount() > sf::WindowLayout::kMaxDocuments) std::abort();
    if (!first.save(once)) std::abort();
    sf::WindowLayout second;
    second.load(once);
    if (second.documentCount() != first.documentCount() ||
        second.mainGeometry != first.mainGeometry || second.mainBars != first.mainBars ||
        second.mainMaximized != first.mainMaximized)
        std::abort();
    if (!second.save(twice) || slurp(once) != slurp(twice)) std::abort();
    return 0;
}
