// A large file of random bytes for the binary document benchmarks, in the
// temporary folder under a name of its own.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace sf::bench {

// Writes `size` bytes (whole mebibytes) to a new file named after `prefix`.
inline std::filesystem::path writeRandomFile(const std::string& prefix, std::size_t size) {
    std::random_device rd;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / (prefix + std::to_string(rd()) + ".bin");
    std::vector<char> chunk(1 << 20);
    std::mt19937 gen(7);
    for (char& c : chunk) c = static_cast<char>(gen());
    std::ofstream out(file, std::ios::binary);
    for (std::size_t i = 0; i < size / chunk.size(); ++i)
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return file;
}

}  // namespace sf::bench
