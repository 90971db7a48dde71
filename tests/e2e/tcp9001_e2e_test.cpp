// The real executable on port 9001, in a scratch working directory. These
// tests hold the port (CTest resource lock) and fail at once, saying so,
// when something else is listening on it.
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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "ifc_client.h"
#include "scratch_dir.h"

namespace {

using ifc::Result;

// A listener on port 9001 as the server makes it, or -1 when the port is
// taken.
int take_port_9001() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(9001);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 5) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

constexpr const char* PORT_TAKEN =
    "port 9001 is already in use by another process; stop it and run these tests again";

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RealServer : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        const int probe = take_port_9001();
        ASSERT_GE(probe, 0) << PORT_TAKEN;
        close(probe);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ScratchDir::TearDown();
    }

    // Runs the executable in the scratch directory, its console in files
    // beside the settings files' directory (console.out, console.err).
    void start() {
        std::fflush(nullptr);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int out = open("console.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open("console.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            close_range(3, ~0U, 0);
            execl(TCP9001_EXE, "tcp9001", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Waits until standard output holds `text` or the program has ended.
    std::string wait_for_out(const std::string& text) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (out().find(text) == std::string::npos && !ended() &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return out();
    }
    // Waits for the program to end and returns its exit status (-1 if it
    // did not exit normally within five seconds).
    int exit_status() {
        for (int i = 0; i < 500 && !ended(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return ended() && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    bool ended() {
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
        return pid_ <= 0;
    }
    std::string out() const { return slurp(dir_ / "console.out"); }
    std::string err() const { return slurp(dir_ / "console.err"); }

    pid_t pid_ = -1;
    int status_ = 0;
};

}  // namespace

TEST_F(RealServer, StartsListeningAndWaits) {
    start();
    EXPECT_EQ(wait_for_out("waiting... "), "waiting... ");
    ASSERT_FALSE(ended()) << "the server ended: " << err() << out() << "\n" << PORT_TAKEN << "?";
    EXPECT_EQ(err(), "");
}

TEST_F(RealServer, PutAndGetRoundTrip) {
    start();
    ASSERT_EQ(wait_for_out("waiting... "), "waiting... ") << err();
    ifc::Connection c;
    ASSERT_EQ(ifc::connect_to(c, "127.0.0.1", 9001, 5000), Result::ok);
    EXPECT_EQ(ifc::put(c, "MLETOFF_set_btnstat", "1"), Result::ok);
    EXPECT_EQ(ifc::ping(c), Result::ok);
    std::string reply;
    EXPECT_EQ(ifc::get(c, "NO_SUCH_NAME", reply), Result::unknown_command);
    EXPECT_FALSE(c.is_open()) << "the server closes after an unknown name";

    // Served after the first: its console lines are flushed by now.
    ASSERT_EQ(ifc::connect_to(c, "127.0.0.1", 9001, 5000), Result::ok);
    EXPECT_EQ(ifc::put(c, "NO_SUCH_NAME", ""), Result::ok);
    EXPECT_EQ(out(),
              "waiting... connected... PUT21\n1\nPING\nGETNO_SUCH_NAME        \n"
              "waiting... connected... ");
    EXPECT_EQ(ifc::disconnect(c), Result::ok);
    EXPECT_EQ(err(), "");
}

TEST_F(RealServer, EndsWhenThePortIsTaken) {
    const int holder = take_port_9001();
    ASSERT_GE(holder, 0) << PORT_TAKEN;
    start();
    EXPECT_EQ(exit_status(), 1);
    close(holder);
    EXPECT_EQ(err(), "server: bind: Address already in use\n");
    EXPECT_EQ(out(), "Can't initialize sever socket.\n");
}
