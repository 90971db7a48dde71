// The connection loop over loopback: verbs, PUT lengths, dispatch, console
// lines and flushing, one client at a time, and survival of vanished
// clients. The loop runs in a child process (LoopServer); its standard
// output is a file, so it shows exactly what the loop has flushed.
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "ether_com.h"
#include "ether_parse.h"
#include "loop_server.h"
#include "tcp9001.h"

namespace {

using ifc::Result;

constexpr const char* NEW_CONNECTION = "waiting... connected... ";

std::string hdr(std::string_view verb, std::string_view rest = {}, char fill = '\0') {
    return ifc::header(verb, rest, fill);
}

class Loop : public LoopServerTest {
protected:
    // Sends `bytes` and returns everything the server sends until it closes.
    std::string send_until_closed(ifc::Connection& c, std::string_view bytes) {
        EXPECT_EQ(ifc::send_raw(c, bytes), Result::ok);
        std::string reply;
        EXPECT_EQ(ifc::recv_until_closed(c, reply), Result::ok) << "server kept the connection";
        return reply;
    }
    std::string exchange(ifc::Connection& c, std::string_view bytes, std::size_t answer) {
        EXPECT_EQ(ifc::send_raw(c, bytes), Result::ok);
        std::string reply;
        EXPECT_EQ(ifc::recv_exact(c, answer, reply), Result::ok);
        return reply;
    }
    // Standard output once everything before a new connection is flushed:
    // the server flushes before each accept and after it, then answers.
    std::string console_at_next_connection() {
        ifc::Connection c = server_.connect();
        EXPECT_EQ(exchange(c, hdr("PUT0"), 3), "FIN");
        return server_.out();
    }
};

}  // namespace

TEST_F(Loop, ConsoleLinesAreFlushedOnlyAtTheirPoints) {
    ifc::Connection c = server_.connect();
    EXPECT_EQ(exchange(c, hdr("PING") + hdr("PUT0"), 3), "FIN");
    // The two header lines are printed but not flushed yet.
    EXPECT_EQ(server_.out(), NEW_CONNECTION);
    EXPECT_EQ(exchange(c, hdr("PUT999999"), 4), "ERR!");
    EXPECT_EQ(ifc::disconnect(c), Result::ok);
    EXPECT_EQ(console_at_next_connection(),
              std::string(NEW_CONNECTION) + "PING\nPUT0\nPUT999999\nerror: TOO BIG DATA\n" +
                  "DISCONNECT\n" + NEW_CONNECTION);
    EXPECT_EQ(server_.err(), "");
}

TEST_F(Loop, HeadersThatEndTheConnection) {
    struct Case {
        std::string header;
        std::string answer;   // every byte the client receives before the close
        std::string console;  // the lines the loop prints for it
    };
    const Case cases[] = {
        {hdr("get", "IFC_get_stat", ' '), "",
         "getIFC_get_stat        \nerror: UNKNOWN COMMAND\n"},
        {hdr("put5"), "", "put5\nerror: UNKNOWN COMMAND\n"},
        {hdr("ping"), "", "ping\nerror: UNKNOWN COMMAND\n"},
        {hdr("disconnect"), "", "disconnect\nerror: UNKNOWN COMMAND\n"},
        {hdr("GE T"), "", "GE T\nerror: UNKNOWN COMMAND\n"},
        {hdr(std::string_view("PI\0NG", 5)), "", "PI\nerror: UNKNOWN COMMAND\n"},
        {hdr("DISCONNECT"), "", "DISCONNECT\n"},
        {hdr("DISCONNECTED NOW"), "", "DISCONNECTED NOW\n"},
        {hdr("GET", "NO_SUCH_NAME", ' '), "LEN-000000001", "GETNO_SUCH_NAME        \n"},
        {hdr("GET", "", ' '), "LEN-000000001", "GET                    \n"},
        // NUL padding matches no command, a known name included.
        {hdr("GET", "IFC_get_stat"), "LEN-000000001", "GETIFC_get_stat\n"},
        {hdr("GET", "ifc_get_stat", ' '), "LEN-000000001", "GETifc_get_stat        \n"},
        // Anything but spaces behind the name in its field matches no command.
        {hdr("GETIFC_get_stat      x "), "LEN-000000001", "GETIFC_get_stat      x \n"},
    };
    std::string console;
    for (const Case& c : cases) {
        ifc::Connection connection = server_.connect();
        EXPECT_EQ(send_until_closed(connection, c.header), c.answer) << c.header;
        console += NEW_CONNECTION + c.console;
    }
    EXPECT_EQ(console_at_next_connection(), console + NEW_CONNECTION);
}

TEST_F(Loop, PingIsSilentAndKeepsTheConnection) {
    ifc::Connection c = server_.connect();
    ASSERT_EQ(ifc::ping(c), Result::ok);
    // Anything after the four letters is ignored, and nothing is answered:
    // the first bytes the client gets are those of the next command.
    EXPECT_EQ(send_until_closed(c, hdr("PINGPONG_1234567890xyz") + hdr("GET", "X", ' ')),
              "LEN-000000001");
}

TEST_F(Loop, HeaderInSeveralPiecesIsAssembled) {
    ifc::Connection c = server_.connect();
    const std::string header = hdr("PUT12") + hdr("PING");
    for (std::size_t at = 0; at < header.size(); at += 5) {
        ASSERT_EQ(ifc::send_raw(c, std::string_view(header).substr(at, 5)), Result::ok);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    std::string reply;
    EXPECT_EQ(ifc::recv_exact(c, 4, reply), Result::ok);
    EXPECT_EQ(reply, "NEXT");
}

TEST_F(Loop, PutLengthFollowsAtoiButRefusesWhatIsTooLarge) {
    struct Case {
        std::string text;
        std::string answer;
    };
    const Case cases[] = {
        {"256000", "NEXT"},
        {"1", "NEXT"},
        {" \t+12x", "NEXT"},
        {"1 2", "NEXT"},
        {"00000000000000000001", "NEXT"},  // twenty characters
        {"0", "FIN"},
        {"", "FIN"},
        {"-0", "FIN"},
        {"abc", "FIN"},
        {"+-1", "FIN"},
        {"256001", "ERR!"},
        {"-1", "ERR!"},
        {"-256000", "ERR!"},
        {"2147483648", "ERR!"},
        {"-2147483648", "ERR!"},
        {"4294967296", "ERR!"},  // atoi would wrap these to small lengths
        {"4294967297", "ERR!"},
        {"-4294967296", "ERR!"},
        {"99999999999999999999", "ERR!"},
    };
    for (const Case& c : cases) {
        ifc::Connection connection = server_.connect();
        EXPECT_EQ(exchange(connection, hdr("PUT", c.text), c.answer.size()), c.answer)
            << "PUT" << c.text;
        if (c.answer != "NEXT") {
            // The connection stays open for the next header.
            EXPECT_EQ(exchange(connection, hdr("PUT0"), 3), "FIN") << "PUT" << c.text;
        }
    }
}

TEST_F(Loop, BodySentAfterErrIsReadAsHeaders) {
    ifc::Connection c = server_.connect();
    EXPECT_EQ(exchange(c, hdr("PUT300000"), 4), "ERR!");
    std::string body("MLETOFF_set_btnstat\0" "1", 21);
    body.resize(23, 'x');
    EXPECT_EQ(send_until_closed(c, body), "");
    EXPECT_EQ(console_at_next_connection(),
              std::string(NEW_CONNECTION) + "PUT300000\nerror: TOO BIG DATA\n" +
                  "MLETOFF_set_btnstat\nerror: UNKNOWN COMMAND\n" + NEW_CONNECTION);
}

TEST_F(Loop, PutBodiesAreSplitAtTheFirstNulAndDispatchedByName) {
    struct Case {
        std::string body;
        std::string console;  // after the header line
    };
    const std::string name("MLETOFF_set_btnstat\0", 20);
    const Case cases[] = {
        {name + "1", "1\n"},
        {name, "\n"},  // payload of length 0
        {name + std::string("ab\0cd", 5), "ab\n"},
        {name + "on\n", "on\n\n"},
        {std::string("mletoff_set_btnstat\0" "1", 21), "not found\n"},
        {std::string("MLETOFF_set_btnstat2\0" "1", 22), "not found\n"},
        {std::string("MLETOFF_set_btnsta\0" "1", 20), "not found\n"},
        {std::string("\0MLETOFF_set_btnstat\0" "1", 22), "not found\n"},
        {"MLETOFF_set_btnstat", "COMMAND END not found\n"},
    };
    ifc::Connection c = server_.connect();
    std::string console = NEW_CONNECTION;
    for (const Case& each : cases) {
        const std::string length = std::to_string(each.body.size());
        ASSERT_EQ(ifc::send_raw(c, hdr("PUT", length)), Result::ok);
        std::string tokens;
        ASSERT_EQ(ifc::recv_exact(c, 4, tokens), Result::ok);
        ASSERT_EQ(tokens, "NEXT");
        ASSERT_EQ(ifc::send_raw(c, each.body), Result::ok);
        ASSERT_EQ(ifc::recv_exact(c, 3, tokens), Result::ok);
        ASSERT_EQ(tokens, "FIN");
        console += "PUT" + length + "\n" + each.console;
    }
    EXPECT_EQ(ifc::disconnect(c), Result::ok);
    EXPECT_EQ(console_at_next_connection(), console + "DISCONNECT\n" + NEW_CONNECTION);
}

TEST_F(Loop, FullSizeBodyIsReceivedAndItsPayloadTerminated) {
    const std::string payload(TCP9001_MAX_BODY - 20, 'a');
    ifc::Connection c = server_.connect();
    EXPECT_EQ(ifc::put(c, "MLETOFF_set_btnstat", payload), Result::ok);
    EXPECT_EQ(ifc::disconnect(c), Result::ok);
    EXPECT_EQ(console_at_next_connection(),
              std::string(NEW_CONNECTION) + "PUT256000\n" + payload + "\nDISCONNECT\n" +
                  NEW_CONNECTION);
}

TEST_F(Loop, ClientClosingWithoutDisconnectEndsWithShortHeader) {
    {
        ifc::Connection c = server_.connect();
        EXPECT_EQ(exchange(c, hdr("PUT0"), 3), "FIN");
        EXPECT_EQ(ifc::send_raw(c, "PING"), Result::ok);  // four of 23 bytes
    }
    // The short read prints whatever text the buffer holds: its first four
    // bytes are new, the rest is left from the header before.
    EXPECT_EQ(console_at_next_connection(),
              std::string(NEW_CONNECTION) + "PUT0\nPING\nerror: command len\n" + NEW_CONNECTION);
}

TEST_F(Loop, OneClientAtATime) {
    ifc::Connection first = server_.connect();
    ASSERT_EQ(ifc::ping(first), Result::ok);
    ifc::Connection second = server_.connect();
    ASSERT_EQ(ifc::send_raw(second, hdr("PUT0")), Result::ok);
    std::string reply;
    second.set_timeout_ms(300);
    EXPECT_EQ(ifc::recv_exact(second, 3, reply), Result::timed_out) << "served too early";
    EXPECT_EQ(exchange(first, hdr("PUT0"), 3), "FIN");
    EXPECT_EQ(ifc::disconnect(first), Result::ok);
    second.set_timeout_ms(5000);
    EXPECT_EQ(ifc::recv_exact(second, 3, reply), Result::ok);
    EXPECT_EQ(reply, "FIN");
}

TEST_F(Loop, IdleClientIsDisconnectedAfterFiveSeconds) {
    ifc::Connection c = server_.connect(15000);
    std::string reply;
    EXPECT_EQ(ifc::recv_until_closed(c, reply), Result::ok);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(console_at_next_connection(),
              std::string(NEW_CONNECTION) +
                  "\nether_recv_unit_data(): select() timeout\nmain(): ether_recv_unit_data\n" +
                  NEW_CONNECTION);
}

TEST_F(Loop, VanishedClientsNeverKillTheServer) {
    // A client waits in the backlog, sends, and resets its connection while
    // another is served. When its turn comes, the server reads what was
    // queued and its sends hit a reset socket: the first fails with
    // ECONNRESET (its result is ignored after "ERR!"), the next would raise
    // SIGPIPE: in "ERR!", "NEXT" or the length header.
    const std::string too_big = hdr("PUT999999");
    const std::string scripts[] = {
        too_big + too_big + too_big,
        too_big + hdr("PUT3000") + std::string(3000, 'b'),
        too_big + hdr("GET", "NO_SUCH_NAME", ' '),
    };
    for (const std::string& script : scripts) {
        ifc::Connection busy = server_.connect();
        ASSERT_EQ(ifc::ping(busy), Result::ok);
        {
            ifc::Connection vanishing = server_.connect();
            ASSERT_EQ(ifc::send_raw(vanishing, script), Result::ok);
            const linger reset{1, 0};
            setsockopt(vanishing.fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        ASSERT_EQ(ifc::disconnect(busy), Result::ok);
        ifc::Connection next = server_.connect();
        EXPECT_EQ(exchange(next, hdr("PUT0"), 3), "FIN");
        ASSERT_TRUE(server_.running()) << "server died, wait status " << server_.wait_status();
    }
}

// The switches are set in the child before the loop starts.
class LoopSwitches : public ScratchDir {
protected:
    LoopServer server;
};

TEST_F(LoopSwitches, BreakClosesAfterEveryHeaderRead) {
    ASSERT_TRUE(server.start(dir_, [] { tcp9001_break = 1; }));
    for (int i = 0; i < 2; ++i) {
        ifc::Connection c = server.connect();
        ASSERT_EQ(ifc::send_raw(c, hdr("GET", "NO_SUCH_NAME", ' ')), Result::ok);
        std::string reply;
        EXPECT_EQ(ifc::recv_until_closed(c, reply), Result::ok);
        EXPECT_EQ(reply, "");
    }
    const std::string expected = std::string(NEW_CONNECTION) + NEW_CONNECTION + "waiting... ";
    EXPECT_EQ(server.wait_for_out(expected), expected);
}

TEST_F(LoopSwitches, AcceptFailuresRepeatWithoutPause) {
    // A listener shut down in the child: every accept fails at once.
    ASSERT_TRUE(server.start(dir_, [] { shutdown(LoopServer::CHILD_LISTENER_FD, SHUT_RDWR); }));
    const std::string line = "server: accept: Invalid argument\n";
    const std::string err = server.wait_for_err(line + line + line);
    const std::string out = server.out();
    server.stop();  // stops the spinning child
    // Nothing but the repeated line (the last one may be cut by the kill).
    auto repeats = [](const std::string& text, const std::string& unit) {
        for (std::size_t at = 0; at < text.size(); at += unit.size()) {
            if (text.compare(at, unit.size(), unit, 0, text.size() - at) != 0) return false;
        }
        return true;
    };
    EXPECT_GE(err.size(), 3 * line.size());
    EXPECT_TRUE(repeats(err, line)) << err;
    EXPECT_TRUE(repeats(out, "waiting... ")) << out;
}

TEST_F(LoopSwitches, DebugSwitchesOffSilenceAllButTheLetOffLine) {
    ASSERT_TRUE(server.start(dir_, [] {
        deb_tcp9001 = 0;
        deb_ether_com = 0;
        deb_ether_parse = 0;
    }));
    {
        ifc::Connection c = server.connect();
        EXPECT_EQ(ifc::put(c, "MLETOFF_set_btnstat", "1"), Result::ok);
        EXPECT_EQ(ifc::put(c, "NO_SUCH_NAME", "1"), Result::ok);
        EXPECT_EQ(ifc::put(c, "", "x"), Result::ok);
        EXPECT_EQ(ifc::put(c, std::string(300000, 'x'), ""), Result::rejected);
        ASSERT_EQ(ifc::send_raw(c, hdr("BAD")), Result::ok);
        std::string reply;
        EXPECT_EQ(ifc::recv_until_closed(c, reply), Result::ok);
    }
    ifc::Connection next = server.connect();
    std::string reply;
    ASSERT_EQ(ifc::send_raw(next, hdr("PUT0")), Result::ok);
    ASSERT_EQ(ifc::recv_exact(next, 3, reply), Result::ok);
    EXPECT_EQ(server.out(), "1\n");
    EXPECT_EQ(server.err(), "");
}
