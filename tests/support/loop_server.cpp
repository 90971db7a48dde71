// LoopServer: runs tcp9001_serve in a forked child on an ephemeral port.
#include "loop_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "tcp9001.h"

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The child: working directory, console files, then the loop for ever.
[[noreturn]] void run_child(int listener, const std::filesystem::path& dir,
                            const std::filesystem::path& console_dir,
                            const std::function<void()>& setup) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int out = open((console_dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((console_dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    // Keep only the listener: inherited client sockets of the test would
    // keep connections half-open after the test closes them.
    constexpr int fd = LoopServer::CHILD_LISTENER_FD;
    if (listener != fd) dup2(listener, fd);
    close_range(fd + 1, ~0U, 0);
    if (setup) setup();
    tcp9001_serve(fd);
}

}  // namespace

bool LoopServer::start(const std::filesystem::path& dir, const std::function<void()>& setup) {
    stop();
    char pattern[] = "/tmp/tcp9001-console-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return false;
    }
    console_dir_ = pattern;

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 5) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ADD_FAILURE() << "cannot make a loopback listener";
        if (listener >= 0) close(listener);
        return false;
    }
    port_ = ntohs(address.sin_port);

    // Unflushed test output would otherwise be written twice.
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) run_child(listener, dir, console_dir_, setup);
    close(listener);
    if (pid_ < 0) {
        ADD_FAILURE() << "fork failed";
        return false;
    }
    return true;
}

void LoopServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &wait_status_, 0);
    }
    pid_ = -1;
    if (!console_dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(console_dir_, ignored);
        console_dir_.clear();
    }
}

bool LoopServer::running() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, &wait_status_, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

ifc::Connection LoopServer::connect(int timeout_ms) const {
    ifc::Connection connection;
    const ifc::Result result = ifc::connect_to(connection, "127.0.0.1", port_, timeout_ms);
    EXPECT_EQ(result, ifc::Result::ok) << "connect to the loop on port " << port_;
    return connection;
}

std::string LoopServer::out() const { return slurp(console_dir_ / "stdout"); }
std::string LoopServer::err() const { return slurp(console_dir_ / "stderr"); }

std::string LoopServer::wait_for_out(std::string_view text, int timeout_ms) const {
    return wait_for("stdout", text, timeout_ms);
}

std::string LoopServer::wait_for_err(std::string_view text, int timeout_ms) const {
    return wait_for("stderr", text, timeout_ms);
}

std::string LoopServer::wait_for(const char* file, std::string_view text, int timeout_ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string now = slurp(console_dir_ / file);
    while (now.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = slurp(console_dir_ / file);
    }
    return now;
}
