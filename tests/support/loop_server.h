// LoopServer: the real connection loop in a child process, on loopback.
//
// start() makes a listener on 127.0.0.1 with an ephemeral port, forks a child
// that changes into the given working directory, sends its standard output
// and standard error to two files, and runs tcp9001_serve() on the listener.
// The listener is listening before start() returns, so clients may connect
// at once. stop() (also run by the destructor) kills the child and waits for
// it. The child dies with the test process, too.
//
// Usage over the wire, with the protocol client:
//
//   class MyWireTest : public LoopServerTest {};   // scratch dir + server
//   TEST_F(MyWireTest, ReadsStatus) {
//       ifc::Connection c = server_.connect();
//       std::string reply;
//       ASSERT_EQ(ifc::get(c, "IFC_get_stat", reply), ifc::Result::ok);
//       EXPECT_EQ(reply, "...");
//       EXPECT_EQ(read_file("ifc_set.set").size(), 800u);   // ScratchDir
//   }
//
// Or by hand: `LoopServer s; ASSERT_TRUE(s.start(dir, [] { deb_tcp9001 = 0; }));`
// where the function runs in the child before the loop (switches, state).
//
// Console: the child's stdout goes to a file, so it is fully buffered and
// the file holds exactly what the server has flushed so far. out() and err()
// read the files; wait_for_out() waits until stdout contains a text. To read
// the console at a known point, make the server flush and answer: a new
// connection's first reply proves "waiting... connected... " and all earlier
// lines are flushed.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "ifc_client.h"
#include "scratch_dir.h"

class LoopServer {
public:
    LoopServer() = default;
    LoopServer(const LoopServer&) = delete;
    LoopServer& operator=(const LoopServer&) = delete;
    ~LoopServer() { stop(); }

    // Starts the loop in a child working in `dir`; `setup` runs in the child
    // first. Returns false (with a gtest failure) when it cannot.
    bool start(const std::filesystem::path& dir, const std::function<void()>& setup = {});
    // Kills the child (SIGKILL) and waits for it; removes the console files.
    void stop();

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // True while the child has not ended. Reaps it when it has.
    bool running();
    // How the child ended, as waitpid reported it (valid once !running()).
    int wait_status() const { return wait_status_; }

    // A new client connection to the loop (connect errors fail the test).
    ifc::Connection connect(int timeout_ms = 5000) const;

    // The child's standard output / standard error as written so far.
    std::string out() const;
    std::string err() const;
    // Waits (up to `timeout_ms`) until standard output contains `text`;
    // returns standard output as it then is.
    std::string wait_for_out(std::string_view text, int timeout_ms = 5000) const;
    // The same for standard error.
    std::string wait_for_err(std::string_view text, int timeout_ms = 5000) const;

    // The listener's descriptor in the child, for a `setup` that must reach it.
    static constexpr int CHILD_LISTENER_FD = 3;

private:
    pid_t pid_ = -1;
    int port_ = 0;
    int wait_status_ = 0;
    std::filesystem::path console_dir_;

    std::string wait_for(const char* file, std::string_view text, int timeout_ms) const;
};

// A scratch working directory with the loop serving in it.
class LoopServerTest : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        ASSERT_TRUE(server_.start(dir_));
    }
    void TearDown() override {
        server_.stop();
        ScratchDir::TearDown();
    }
    LoopServer server_;
};
