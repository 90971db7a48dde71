// The framing functions over a real loopback connection. The server side
// runs in a second thread on the accepted socket (non-blocking, as the loop
// sets it); the test plays the client and checks every byte on the wire.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "console_capture.h"
#include "ether_com.h"
#include "ifc_client.h"

namespace {

// Bytes that show any reordering or loss: no period that divides 1024.
std::string pattern(int length) {
    std::string bytes(static_cast<std::size_t>(length), '\0');
    for (int i = 0; i < length; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i * 7 % 251);
    return bytes;
}

std::string len_header(int length) {
    char text[32];
    std::snprintf(text, sizeof text, "LEN%010d", length);
    return text;
}

int chunks_of(int length) { return length <= 0 ? 0 : (length + 1023) / 1024; }

class Framing : public ::testing::Test {
protected:
    void SetUp() override {
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
        ASSERT_EQ(ifc::connect_to(client_, "127.0.0.1", ntohs(address.sin_port), 5000),
                  ifc::Result::ok);
        server_ = accept(listener, nullptr, nullptr);
        close(listener);
        ASSERT_GE(server_, 0);
        int on = 1;
        ioctl(server_, FIONBIO, &on);
    }
    void TearDown() override { close_server(); }

    void close_server() {
        if (server_ >= 0) close(server_);
        server_ = -1;
    }
    // What the client receives after the server side closed: nothing more
    // may follow a finished exchange.
    std::string rest_after_close() {
        close_server();
        std::string rest;
        EXPECT_EQ(ifc::recv_until_closed(client_, rest), ifc::Result::ok);
        return rest;
    }
    std::string recv(std::size_t count) {
        std::string bytes;
        EXPECT_EQ(ifc::recv_exact(client_, count, bytes), ifc::Result::ok);
        return bytes;
    }
    void send(std::string_view bytes) { ASSERT_EQ(ifc::send_raw(client_, bytes), ifc::Result::ok); }

    int server_ = -1;
    ifc::Connection client_;
};

}  // namespace

// ---- GET reply: ether_send_all_data --------------------------------------------

TEST_F(Framing, ReplyIsLengthHeaderThenOneChunkPerNext) {
    for (int length : {1, 1024, 1025, 3000, 256000}) {
        SCOPED_TRACE(length);
        TearDown();
        SetUp();
        const std::string reply = pattern(length);
        ConsoleCapture out(stdout);
        auto sent = std::async(std::launch::async, [&] {
            return ether_send_all_data(server_, reply.data(), length, 10);
        });
        EXPECT_EQ(recv(13), len_header(length));
        std::string received;
        int nexts = 0;
        while (received.size() < reply.size()) {
            send("NEXT");
            ++nexts;
            const std::size_t chunk = std::min<std::size_t>(1024, reply.size() - received.size());
            received += recv(chunk);
        }
        EXPECT_EQ(sent.get(), length);
        EXPECT_EQ(nexts, chunks_of(length));
        EXPECT_TRUE(received == reply);
        EXPECT_EQ(rest_after_close(), "");
        EXPECT_EQ(out.text(), "");
    }
}

TEST_F(Framing, EmptyOrNegativeReplyIsTheHeaderAloneWithoutWaiting) {
    const std::pair<int, std::string> cases[] = {
        {0, "LEN0000000000"},
        {-1, "LEN-000000001"},
        {-123456789, "LEN-123456789"},
        {INT_MIN, "LEN-2147483648"},  // ten digits: one byte longer
    };
    for (const auto& [length, header] : cases) {
        SCOPED_TRACE(length);
        TearDown();
        SetUp();
        // No NEXT is ever sent: the call must return on its own.
        EXPECT_EQ(ether_send_all_data(server_, "", length, 10), 0);
        EXPECT_EQ(rest_after_close(), header);
    }
}

TEST_F(Framing, TokensSentAheadAreConsumedOnePerChunk) {
    const std::string reply = pattern(2500);
    send("NEXTNEXTNEXTNEXT");  // one more than the three chunks
    EXPECT_EQ(ether_send_all_data(server_, reply.data(), 2500, 10), 2500);
    EXPECT_TRUE(recv(13 + 2500) == len_header(2500) + reply);
    char left[8] = {};
    EXPECT_EQ(::recv(server_, left, sizeof left, 0), 4);
    EXPECT_STREQ(left, "NEXT");
}

TEST_F(Framing, AnyOtherTokenEndsTheReply) {
    for (const char* token : {"next", "NEXt", "FIN!", "NEX\0", "ERR!"}) {
        SCOPED_TRACE(token);
        TearDown();
        SetUp();
        const std::string reply = pattern(2000);
        ConsoleCapture out(stdout);
        auto sent = std::async(std::launch::async, [&] {
            return ether_send_all_data(server_, reply.data(), 2000, 10);
        });
        EXPECT_EQ(recv(13), len_header(2000));
        send(std::string_view(token, 4));
        EXPECT_EQ(sent.get(), -1);
        EXPECT_EQ(out.text(), "ether_send_all_data(): can't found \"NEXT\"\n");
        EXPECT_EQ(rest_after_close(), "");
    }
}

TEST_F(Framing, SecondChunkRefusedAfterAGoodFirst) {
    const std::string reply = pattern(1500);
    send("NEXTnext");
    ConsoleCapture out(stdout);
    EXPECT_EQ(ether_send_all_data(server_, reply.data(), 1500, 10), -1);
    EXPECT_EQ(out.text(), "ether_send_all_data(): can't found \"NEXT\"\n");
    EXPECT_TRUE(rest_after_close() == len_header(1500) + reply.substr(0, 1024));
}

TEST_F(Framing, PeerClosingWhileNextAwaitedFailsSilently) {
    send("NEX");
    ASSERT_EQ(shutdown(client_.fd(), SHUT_WR), 0);
    ConsoleCapture out(stdout);
    EXPECT_EQ(ether_send_all_data(server_, "abc", 3, 10), -1);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(rest_after_close(), len_header(3));
}

TEST_F(Framing, FailedSendsEndTheTransferWithTheirMessages) {
    // The server's own side shut for writing: every send fails with EPIPE,
    // which must not raise SIGPIPE (it would end this test program).
    const std::string reply = pattern(100);
    ConsoleCapture out(stdout);
    auto sent = std::async(std::launch::async, [&] {
        return ether_send_all_data(server_, reply.data(), 100, 10);
    });
    EXPECT_EQ(recv(13), len_header(100));
    ASSERT_EQ(shutdown(server_, SHUT_WR), 0);
    send("NEXT");
    EXPECT_EQ(sent.get(), -1);  // the chunk
    EXPECT_EQ(ether_send_all_data(server_, reply.data(), 100, 10), -1);  // the header
    EXPECT_EQ(ether_recv_all_data(server_, nullptr, 5, 10), -1);  // the first "NEXT"
    EXPECT_EQ(out.text(),
              "ether_send_all_data(): data send error\n"
              "ether_send_all_data(): send() error\n"
              "send() error\n");
}

TEST_F(Framing, TransferDeadlineIsTestedBeforeEachChunk) {
    // A limit of -1 second: the deadline has passed before the first chunk.
    ConsoleCapture out(stdout);
    send("NEXT");
    EXPECT_EQ(ether_send_all_data(server_, "abc", 3, -1), -1);
    EXPECT_EQ(ether_recv_all_data(server_, nullptr, 5, -1), -1);
    char none[1];
    EXPECT_EQ(ether_recv_all_data(server_, none, 0, -1), 0);  // no chunk: only "FIN"
    EXPECT_EQ(out.text(),
              "ether_send_all_data(): time_out\n"
              "ether_recv_all_data(): time_out\n");
    EXPECT_EQ(rest_after_close(), len_header(3) + "FIN");
}

// ---- PUT body: ether_recv_all_data ------------------------------------------------

TEST_F(Framing, BodyIsAskedForChunkByChunkThenFin) {
    for (int length : {0, 1, 1024, 1025, 256000}) {
        SCOPED_TRACE(length);
        TearDown();
        SetUp();
        const std::string body = pattern(length);
        std::vector<char> dst(static_cast<std::size_t>(length) + 1);
        ConsoleCapture out(stdout);
        auto received = std::async(std::launch::async, [&] {
            return ether_recv_all_data(server_, dst.data(), length, 10);
        });
        int nexts = 0;
        for (std::size_t sent = 0; sent < body.size(); ++nexts) {
            ASSERT_EQ(recv(4), "NEXT");
            const std::size_t chunk = std::min<std::size_t>(1024, body.size() - sent);
            send(std::string_view(body).substr(sent, chunk));
            sent += chunk;
        }
        EXPECT_EQ(recv(3), "FIN");
        EXPECT_EQ(received.get(), length);
        EXPECT_EQ(nexts, chunks_of(length));
        EXPECT_TRUE(std::equal(body.begin(), body.end(), dst.begin()));
        EXPECT_EQ(rest_after_close(), "");
        EXPECT_EQ(out.text(), "");
    }
}

TEST_F(Framing, BodySentWithoutWaitingStillArrivesWhole) {
    const std::string body = pattern(3000);
    send(body);
    std::vector<char> dst(3000);
    EXPECT_EQ(ether_recv_all_data(server_, dst.data(), 3000, 10), 3000);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), dst.begin()));
    EXPECT_EQ(rest_after_close(), "NEXTNEXTNEXTFIN");
}

TEST_F(Framing, PeerClosingInMidChunkFailsWithoutFin) {
    const std::string body = pattern(2000);
    std::vector<char> dst(2000, 'x');
    ConsoleCapture out(stdout);
    auto received = std::async(std::launch::async, [&] {
        return ether_recv_all_data(server_, dst.data(), 2000, 10);
    });
    EXPECT_EQ(recv(4), "NEXT");
    send(std::string_view(body).substr(0, 500));
    ASSERT_EQ(shutdown(client_.fd(), SHUT_WR), 0);
    EXPECT_EQ(received.get(), -1);
    EXPECT_EQ(out.text(), "");
    // What did arrive stays in the destination.
    EXPECT_TRUE(std::equal(body.begin(), body.begin() + 500, dst.begin()));
    EXPECT_EQ(dst[500], 'x');
    EXPECT_EQ(rest_after_close(), "");
}

// ---- ether_recv_unit_data ----------------------------------------------------------

TEST_F(Framing, UnitReadAssemblesPiecesAndStopsAtCount) {
    char dst[32] = {};
    send("abc");
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 0, 5), 0);  // socket untouched
    EXPECT_EQ(ether_recv_unit_data(server_, dst, -3, 5), 0);
    std::thread writer([&] {
        for (const char* piece : {"defgh", "ijklmnop", "qrstuvwxyz"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ifc::send_raw(client_, piece);
        }
    });
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 23, 5), 23);
    writer.join();
    EXPECT_STREQ(dst, "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 3, 5), 3);  // the rest stayed
    EXPECT_EQ(std::string(dst, 3), "xyz");
}

TEST_F(Framing, UnitReadReturnsWhatArrivedWhenPeerCloses) {
    char dst[32] = {};
    send("0123456789");
    ASSERT_EQ(shutdown(client_.fd(), SHUT_WR), 0);
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 23, 5), 10);
    EXPECT_STREQ(dst, "0123456789");
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 23, 5), 0);
}

TEST_F(Framing, UnitReadWaitRunsOut) {
    char dst[4];
    ConsoleCapture out(stdout);
    EXPECT_EQ(ether_recv_unit_data(server_, dst, 4, 1), -1);
    EXPECT_EQ(out.text(), "\nether_recv_unit_data(): select() timeout\n");
}

TEST_F(Framing, UnitReadFailuresOnBadDescriptors) {
    char dst[4];
    // A readable pipe: the wait succeeds, the receive fails, no message.
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    ASSERT_EQ(write(pipe_ends[1], "data", 4), 4);
    ConsoleCapture out(stdout);
    EXPECT_EQ(ether_recv_unit_data(pipe_ends[0], dst, 4, 1), -1);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    // A closed descriptor: the wait itself fails.
    EXPECT_EQ(ether_recv_unit_data(pipe_ends[0], dst, 4, 1), -1);
    EXPECT_EQ(out.text(), "\nether_recv_unit_data(): select() timeout\n");
}

TEST_F(Framing, WaitWorksForDescriptorsAboveTheSelectLimit) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    constexpr int HIGH_FD = 1500;  // above FD_SETSIZE (1024)
    if (limit.rlim_max <= HIGH_FD) GTEST_SKIP() << "descriptor limit too low";
    const rlimit saved = limit;
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    ASSERT_EQ(dup2(server_, HIGH_FD), HIGH_FD);
    send("NEXT");
    const std::string reply = pattern(100);
    EXPECT_EQ(ether_send_all_data(HIGH_FD, reply.data(), 100, 10), 100);
    close(HIGH_FD);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(recv(113) == len_header(100) + reply);
}

// ---- ether_init -------------------------------------------------------------------------

TEST(EtherInit, ListensOnTheWildcardAddressWithReuse) {
    int listener = -1;
    ConsoleCapture err(stderr);
    ASSERT_EQ(ether_init(&listener, 0), 1);
    EXPECT_EQ(err.text(), "");
    int value = 0;
    socklen_t size = sizeof value;
    EXPECT_EQ(getsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &value, &size), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(getsockopt(listener, SOL_SOCKET, SO_ACCEPTCONN, &value, &size), 0);
    EXPECT_EQ(value, 1);
    sockaddr_in address{};
    socklen_t address_size = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &address_size), 0);
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(address.sin_addr.s_addr, htonl(INADDR_ANY));
    close(listener);
}

TEST(EtherInit, PortInUseFailsWithBindMessage) {
    int first = -1;
    ASSERT_EQ(ether_init(&first, 0), 1);
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ASSERT_EQ(getsockname(first, reinterpret_cast<sockaddr*>(&address), &size), 0);

    int second = -1;
    ConsoleCapture out(stdout);
    ConsoleCapture err(stderr);
    EXPECT_EQ(ether_init(&second, ntohs(address.sin_port)), -1);
    EXPECT_EQ(err.text(), "server: bind: Address already in use\n");
    EXPECT_EQ(out.text(), "");
    EXPECT_GE(second, 0) << "the descriptor is stored before bind fails";
    close(second);
    close(first);
}
