// A fresh folder under /tmp, removed with everything in it (even after a test
// made it read-only), plus plain file helpers that bypass the code under test.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

namespace sf::testsupport {

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/sf_test_XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
    const std::filesystem::path& path() const { return dir_; }
    // Creates a file (and its folders) holding `content`.
    std::filesystem::path touch(const std::string& rel, const std::string& content = "x") const {
        const std::filesystem::path p = dir_ / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    // Entries in the folder; tests use it to see that no temporary file is left.
    long entries() const {
        return std::distance(std::filesystem::directory_iterator(dir_),
                             std::filesystem::directory_iterator());
    }

  private:
    std::filesystem::path dir_;
};

inline void writeText(const std::filesystem::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

inline std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace sf::testsupport
