// A scratch folder removed at the end of a test.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

struct TempDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("sysforge-test-" + std::to_string(std::random_device()()) +
                                  std::to_string(std::random_device()()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Creates a file (and its folders) holding `content`.
    std::filesystem::path touch(const std::string& rel, const std::string& content = "x") const {
        const std::filesystem::path p = path / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
};
