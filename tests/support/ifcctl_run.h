// Test helpers for ifcctl: run the tool in-process or as its executable,
// and fake servers that misbehave on purpose.
//
// run_tool() calls ifcctl::run() with standard input, output and error on
// temporary files and returns the exit code and both texts. run_exe() runs
// the built executable (IFCCTL_EXE) in a child with the given standard input
// bytes and waits for it. FakeServer listens on an ephemeral loopback port
// and, in a child process, answers every connection with one scripted
// behaviour; it kills and reaps the child when it goes.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ifcctl.h"

struct tool_result {
    int code;
    std::string out;
    std::string err;
};

namespace ifcctl_test {

inline std::string read_back(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return text;
}

}  // namespace ifcctl_test

// Runs `ifcctl ARGS...` in-process; `input` is its standard input.
inline tool_result run_tool(std::vector<std::string> args, std::string_view input = {},
                            bool colour = false) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    args.insert(args.begin(), "ifcctl");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int code = ifcctl::run(static_cast<int>(args.size()), argv.data(),
                                 ifcctl::streams{in, out, err, colour});
    std::fclose(in);
    std::string out_text = ifcctl_test::read_back(out);
    std::string err_text = ifcctl_test::read_back(err);
    return {code, std::move(out_text), std::move(err_text)};
}

// Runs the built executable with `args`, feeding `input` through a pipe.
inline tool_result run_exe(const std::vector<std::string>& args, std::string_view input = {}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {-1, "", "pipe failed"};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_fds[0], STDIN_FILENO);
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(err), STDERR_FILENO);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        std::vector<std::string> all{IFCCTL_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(IFCCTL_EXE, argv.data());
        _exit(127);
    }
    close(pipe_fds[0]);
    // The tool reads its whole input before it connects, so the writes
    // cannot block for long; a vanished child must not kill the test. The
    // disposition is restored: children forked later must not inherit it.
    const auto previous = signal(SIGPIPE, SIG_IGN);
    std::size_t sent = 0;
    while (sent < input.size()) {
        const ssize_t n = write(pipe_fds[1], input.data() + sent, input.size() - sent);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    close(pipe_fds[1]);
    signal(SIGPIPE, previous);
    int status = 0;
    waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, ifcctl_test::read_back(out), ifcctl_test::read_back(err)};
}

// A listener on 127.0.0.1 with an ephemeral port whose child serves each
// connection with `behaviour` (given the connected socket); the listener
// itself never accepts when `behaviour` is empty, so connections wait in
// the backlog unanswered.
class FakeServer {
public:
    using behaviour_fn = void (*)(int client);

    explicit FakeServer(behaviour_fn behaviour) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, 5) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "fake server: cannot listen";
            return;
        }
        port_ = ntohs(address.sin_port);
        if (behaviour == nullptr) return;
        pid_ = fork();
        if (pid_ == 0) {
            for (;;) {
                const int client = accept(listener_, nullptr, nullptr);
                if (client < 0) continue;
                behaviour(client);
                close(client);
            }
        }
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;
    ~FakeServer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (listener_ >= 0) close(listener_);
    }

    std::string port() const { return std::to_string(port_); }

    // Reads exactly `count` bytes (or until the peer closes).
    static std::string read_exactly(int fd, std::size_t count) {
        std::string bytes;
        char buffer[1024];
        while (bytes.size() < count) {
            const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    static void send_text(int fd, std::string_view text) {
        (void)!send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    }

private:
    int listener_ = -1;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A port on loopback where nothing listens: bound, never listened on, so
// connecting is refused for as long as the object lives.
class ClosedPort {
public:
    ClosedPort() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    ~ClosedPort() { close(fd_); }
    std::string port() const { return std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};
