// ConsoleCapture: what code under test writes to standard output or error.
//
// Redirects the stream's descriptor onto a temporary file from construction
// until text() (or destruction), so output written with stdio or write(2)
// is caught alike. text() flushes the stream, restores the descriptor and
// returns the bytes written meanwhile.
//
//   ConsoleCapture out(stdout);
//   MLETOFF_set_btnstat(payload, 1);
//   EXPECT_EQ(out.text(), "1\n");
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

class ConsoleCapture {
public:
    explicit ConsoleCapture(std::FILE* stream) : stream_(stream), fd_(fileno(stream)) {
        std::fflush(stream_);
        file_ = std::tmpfile();
        saved_ = dup(fd_);
        dup2(fileno(file_), fd_);
    }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    ~ConsoleCapture() { text(); }

    std::string text() {
        if (saved_ < 0) return captured_;
        std::fflush(stream_);
        dup2(saved_, fd_);
        close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) {
            captured_.append(buffer, got);
        }
        std::fclose(file_);
        return captured_;
    }

private:
    std::FILE* stream_;
    int fd_;
    int saved_ = -1;
    std::FILE* file_ = nullptr;
    std::string captured_;
};
