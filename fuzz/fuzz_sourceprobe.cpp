// The partial read of the library searches against the whole read: on any
// bytes the probe gives the same verdict as readSourceFile, and on a file
// that reads the same module count, bytes, names and block slots, whether
// it reads file by file or in batches. Each probe reads all inputs one
// after the other, as it reads a library.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "source/sourcefile.h"

namespace {

std::filesystem::path scratchFile() {
    static const std::filesystem::path p = [] {
        std::error_code ec;
        auto base = std::filesystem::path("/dev/shm");
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
        auto d = base / ("sf-fuzz-probe-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d / "driver.d";
    }();
    return p;
}

// Aborts where the probe's answer on the input differs from the whole read's.
void check(const char* how, sf::SourceFileProbe& probe, bool read,
           const sf::SourceReadResult& whole) {
    if (read != static_cast<bool>(whole)) {
        std::fprintf(stderr, "%s: verdicts differ: probe %d, whole read %d\n", how, read, !read);
        std::abort();
    }
    if (!read) return;
    const sf::SourceRecord& r = *whole;
    if (probe.modules() != r.s16(sf::rec::kModuleCount)) {
        std::fprintf(stderr, "%s: module counts differ: %d / %d\n", how, probe.modules(),
                     r.s16(sf::rec::kModuleCount));
        std::abort();
    }
    for (std::size_t at = 0; at < sf::rec::kRecordSize; ++at)
        if (probe.number(at, 1) != r.u8(at)) {
            std::fprintf(stderr, "%s: byte %zu differs: %u / %u\n", how, at, probe.number(at, 1),
                         r.u8(at));
            std::abort();
        }
    for (int m = 0; m < sf::rec::kModules; ++m) {
        const std::size_t name = sf::rec::moduleBase(m) + sf::rec::kModName;
        if (probe.text(name, sf::rec::kModNameSize) != r.text(name, sf::rec::kModNameSize))
            std::abort();
        for (int s = 0; s < sf::rec::kSlotsPerModule; ++s)
            if (m < probe.modules() && probe.hasBlock(m, s) != r.block(m, s).has_value()) {
                std::fprintf(stderr, "%s: block slot %d of module %d differs\n", how, s, m);
                std::abort();
            }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static sf::SourceFileProbe one(sf::SourceFileProbe::Batches::Never);
    static sf::SourceFileProbe batched(sf::SourceFileProbe::Batches::Always);
    const auto path = scratchFile();
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto whole = sf::readSourceImage(sf::ConstByteSpan(data, size));
    check("file by file", one, one.read(path), whole);
    const std::string name = path.native();
    const std::string* batch[] = {&name};
    batched.readAhead(batch);
    check("in batches", batched, batched.select(0), whole);
    return 0;
}
