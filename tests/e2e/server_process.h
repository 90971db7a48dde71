// ServerProcess: the server executable run as a child process on port 9001.
//
// start() checks that nobody listens on port 9001 (a clear failure if
// somebody does), forks, and in the child changes into the given working
// directory, sends standard output and standard error where the options
// say, applies the requested limits and user, and execs the executable. It
// returns once the server accepts connections. kill() ends it with SIGKILL
// and reaps it; the destructor does the same.
//
// Used by the tests that stress the real executable: hostile clients and
// failing disks.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "ifc_client.h"

#ifndef TCP9001_EXE
#error "TCP9001_EXE must name the server executable"
#endif

struct ServerProcessOptions {
    // RLIMIT_FSIZE in bytes for the server, or 0 for none.
    rlim_t file_size_limit = 0;
    // Run as user and group nobody (65534).
    bool as_nobody = false;
    // Standard output to this file ("": /dev/null).
    std::string stdout_path;
    // Standard error to this file ("": the test's own, where a sanitizer
    // report of the server then shows).
    std::string stderr_path;
};

class ServerProcess {
public:
    static constexpr int kPort = 9001;
    static constexpr uid_t kNobody = 65534;

    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { kill(); }

    // True when a listener could be bound to port 9001 right now (with the
    // address reuse the server uses, so connections in TIME_WAIT don't count).
    static bool port_free() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        if (s < 0) return false;
        const int on = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(kPort);
        const bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    // Starts the server in `dir`. Fails the test (and returns false) when the
    // port is taken or the server does not come up within 10 seconds.
    bool start(const std::filesystem::path& dir, const ServerProcessOptions& options = {}) {
        kill();
        if (!port_free()) {
            ADD_FAILURE() << "port " << kPort
                          << " is taken by another process: cannot run the server under test";
            return false;
        }
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ < 0) {
            ADD_FAILURE() << "fork: " << std::strerror(errno);
            return false;
        }
        if (pid_ == 0) exec_child(dir, options);

        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            if (!running()) {
                ADD_FAILURE() << "the server ended at start-up (status " << status_ << "); is port "
                              << kPort << " taken?";
                return false;
            }
            ifc::Connection probe;
            if (ifc::connect_to(probe, "127.0.0.1", kPort, 500) == ifc::Result::ok) {
                ifc::disconnect(probe);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ADD_FAILURE() << "the server does not accept connections on port " << kPort;
        kill();
        return false;
    }

    // True while the child runs; reaps it (and records its status) once ended.
    bool running() {
        if (pid_ <= 0) return false;
        if (waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    // SIGKILL and reap. Returns the wait status (of the death that came first
    // if the child had already ended by itself).
    int kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }

    pid_t pid() const { return pid_; }
    int status() const { return status_; }

    // A readable account of a wait status, for failure messages.
    static std::string describe(int status) {
        if (WIFSIGNALED(status))
            return std::string("killed by signal ") + strsignal(WTERMSIG(status));
        if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
        return "status " + std::to_string(status);
    }

private:
    [[noreturn]] static void exec_child(const std::filesystem::path& dir,
                                        const ServerProcessOptions& options) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        auto redirect = [](const std::string& path, int target) {
            const int fd = path.empty() ? open("/dev/null", O_WRONLY)
                                        : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd < 0 || dup2(fd, target) < 0) _exit(120);
            close(fd);
        };
        redirect(options.stdout_path, STDOUT_FILENO);
        if (!options.stderr_path.empty()) redirect(options.stderr_path, STDERR_FILENO);
        const int null_in = open("/dev/null", O_RDONLY);
        if (null_in >= 0) dup2(null_in, STDIN_FILENO);
        close_range(3, ~0U, 0);
        if (chdir(dir.c_str()) != 0) _exit(121);
        // Default signal handling, whatever the test runner set up.
        for (int sig : {SIGPIPE, SIGXFSZ}) signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options.as_nobody &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(122);
        }
        if (options.file_size_limit > 0) {
            const rlimit limit{options.file_size_limit, options.file_size_limit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(123);
        }
        execl(TCP9001_EXE, TCP9001_EXE, static_cast<char*>(nullptr));
        _exit(124);
    }

    pid_t pid_ = -1;
    int status_ = 0;
};

// The whole content of a file ("" if absent).
inline std::string slurp_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The little-endian word at `offset` of a settings image.
inline int32_t image_word(const std::string& image, size_t offset) {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(image.at(offset + i));
    return static_cast<int32_t>(u);
}

// Byte offset of colour c (1 to 6) of the record named `name` in a settings
// image, or std::string::npos when no record bears the name.
inline size_t image_value_offset(const std::string& image, const std::string& name, int c) {
    for (size_t rec = 0; rec + 80 <= image.size(); rec += 80) {
        if (image_word(image, rec) == 0) break;
        const char* field = image.data() + rec + 4;
        if (strnlen(field, 32) == name.size() &&
            name.compare(0, name.size(), field, name.size()) == 0) {
            return rec + 32 + 4 * static_cast<size_t>(c);
        }
    }
    return std::string::npos;
}
