// Captures what code under test writes to standard output.
//
// fd 1 is pointed at an anonymous temporary file around the call (dup2), with
// stdio flushed before and after, so output from printf/puts and from write(2)
// alike is caught, byte for byte.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

template <class F>
std::string capture_stdout(F&& code) {
    std::fflush(stdout);
    std::FILE* sink = std::tmpfile();
    EXPECT_NE(sink, nullptr);
    if (sink == nullptr) return {};
    const int saved = dup(1);
    dup2(fileno(sink), 1);
    std::forward<F>(code)();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);

    std::string bytes;
    std::rewind(sink);
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, sink)) > 0) bytes.append(chunk, got);
    std::fclose(sink);
    return bytes;
}
