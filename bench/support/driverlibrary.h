// The driver library the search and check benchmarks run over: sources of
// three named modules each, spread over 20 folders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "driver/library.h"
#include "source/schema.h"
#include "source/sourcefile.h"

namespace sf::bench {

inline constexpr int kLibraryDrivers = 2000;

// Writes a source's file image, creating its folder.
inline void writeSourceFile(const std::filesystem::path& p, const SourceRecord& r) {
    auto image = buildFileImage(r);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(image->data()),
               static_cast<std::streamsize>(image->size()));
}

struct LibraryLayout {
    bool upperCaseNames = true;  // DRV0001.D rather than drv0001.d
    bool manufacturer = true;    // a manufacturer out of seven, else left empty
    int drivers = kLibraryDrivers;
};

// Writes `layout.drivers` sources under `root` as dirNN/DRVNNNN.D; driver i
// lies in folder i % 20 and names its modules from a rotation of five.
inline void writeDriverLibrary(const std::filesystem::path& root, LibraryLayout layout = {}) {
    const char* names[] = {"Voice", "Performance", "Drums", "Setup", "Multi"};
    for (int i = 0; i < layout.drivers; ++i) {
        auto r = newSource();
        r->setU16(rec::kModuleCount, 3);
        for (int m = 0; m < 3; ++m)
            r->setText(rec::moduleBase(m), rec::kModNameSize, names[(i + m) % 5]);
        if (layout.manufacturer) r->setU16(174, static_cast<std::uint16_t>(i % 7));
        char name[40];
        if (layout.upperCaseNames)
            std::snprintf(name, sizeof name, "dir%02d/DRV%04d.D", i % 20, i);
        else
            std::snprintf(name, sizeof name, "dir%02d/drv%04d.d", i % 20, i);
        writeSourceFile(root / name, *r);
    }
}

// The source searched for: its first module is named "Drums", which a fifth
// of the library shares in each module position.
inline std::unique_ptr<SourceRecord> searchTarget() {
    auto r = newSource();
    r->setText(rec::moduleBase(0), rec::kModNameSize, "Drums");
    return r;
}

// The library in a temporary folder of its own, removed with the object:
// the listed driver paths and the source to search them for.
struct TempDriverLibrary {
    std::filesystem::path root;
    std::vector<std::filesystem::path> paths;
    std::unique_ptr<SourceRecord> current;

    // The folder is <temp>/<prefix><random number>.
    explicit TempDriverLibrary(const std::string& prefix, LibraryLayout layout = {}) {
        std::random_device rd;
        root = std::filesystem::temp_directory_path() / (prefix + std::to_string(rd()));
        std::filesystem::create_directories(root);
        writeDriverLibrary(root, layout);
        paths = scanDriverSources(root);
        current = searchTarget();
    }
    ~TempDriverLibrary() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

}  // namespace sf::bench
