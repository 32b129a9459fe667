// Base fixture of the sysforge-cli end-to-end tests: each test gets a scratch
// folder of its own, made empty before the test and removed after it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli_e2e/cli_process.h"

namespace sf::e2e {

class CliScratchTest : public ::testing::Test {
  protected:
    // The folder is <temp>/<prefix><pid>-<test name>.
    explicit CliScratchTest(std::string prefix) : prefix_(std::move(prefix)) {}

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (prefix_ + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    CliResult run(const std::vector<std::string>& args) { return runCli(args, dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;

  private:
    std::string prefix_;
};

}  // namespace sf::e2e
