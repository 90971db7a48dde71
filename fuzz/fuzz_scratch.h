// Shared set-up of the fuzz targets: a scratch working directory for the
// settings files, made once per fuzzing process, and a silent console.
//
// The directory lives on /dev/shm when there is one: every settings save
// flushes to disk, which on a real disk would cost more than the input.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzz_scratch {

// Changes into a fresh scratch directory and sends standard output to
// /dev/null (the handlers and the framing print progress lines). Standard
// error stays: libFuzzer reports there. Exits when it cannot set up.
inline void enter() {
    char shm[] = "/dev/shm/tcp9001-fuzz-XXXXXX";
    char tmp[] = "/tmp/tcp9001-fuzz-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr || chdir(dir) != 0) {
        std::perror("fuzz: scratch directory");
        std::exit(1);
    }
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDOUT_FILENO) < 0) {
        std::perror("fuzz: /dev/null");
        std::exit(1);
    }
    close(null);
}

}  // namespace fuzz_scratch
