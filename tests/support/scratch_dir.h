// A scratch working directory for tests that touch the settings files.
//
// The fixture creates a fresh directory under /tmp, makes it the working
// directory, and on teardown returns to the previous one and removes it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tcp9001-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        // Give back write permission that a test may have taken away.
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }

    // The whole content of a file in the scratch directory ("" if absent).
    static std::string read_file(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void write_file(const std::string& name, const std::string& bytes) {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
};
