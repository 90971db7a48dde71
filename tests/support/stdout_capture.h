// Captures what code under test writes to standard output (printf or write).
//
// Standard output is pointed at a temporary file with dup2 for the length of
// one call, then restored; stdio buffers are flushed on both sides.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

template <typename F>
std::string captured_stdout(F&& f) {
    std::fflush(stdout);
    std::FILE* tmp = std::tmpfile();
    if (tmp == nullptr) return "<tmpfile failed>";
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(tmp), STDOUT_FILENO);
    f();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    std::rewind(tmp);
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, tmp)) > 0;) text.append(chunk, n);
    std::fclose(tmp);
    return text;
}
