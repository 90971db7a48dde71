// The protocol client against a scripted fake server: the exact bytes the
// client sends, and its result for every kind of answer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ifc_client.h"

namespace {

using ifc::Result;

// One step of the fake server: receive exactly `bytes` (expect), send them,
// or close the connection.
struct Step {
    enum Kind { expect, send, close } kind;
    std::string bytes;
};
Step expect(std::string bytes) { return {Step::expect, std::move(bytes)}; }
Step send(std::string bytes) { return {Step::send, std::move(bytes)}; }
Step close_connection() { return {Step::close, {}}; }

std::string nul_header(std::string_view text) {
    std::string bytes(text);
    bytes.resize(23, '\0');
    return bytes;
}

// Accepts one client and plays the script; afterwards, anything more the
// client sent before closing is recorded as `extra`.
class FakeServer {
public:
    explicit FakeServer(std::vector<Step> script) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, script = std::move(script)] { play(script); });
    }
    ~FakeServer() { finish(); }

    int port() const { return port_; }
    // Waits for the script to end; returns its mismatches ("" when none).
    std::string finish() {
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
        listener_ = -1;
        return errors_;
    }
    const std::string& extra() const { return extra_; }

private:
    // Receives up to `count` bytes within two seconds per wait.
    static std::string receive(int fd, std::size_t count) {
        std::string bytes;
        char buffer[4096];
        while (bytes.size() < count) {
            pollfd entry{fd, POLLIN, 0};
            if (poll(&entry, 1, 2000) <= 0) break;
            const ssize_t got = recv(fd, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }
    void play(const std::vector<Step>& script) {
        const int fd = accept(listener_, nullptr, nullptr);
        bool open = true;
        for (const Step& step : script) {
            if (step.kind == Step::expect) {
                const std::string got = receive(fd, step.bytes.size());
                if (got != step.bytes) errors_ += "expected [" + step.bytes + "] got [" + got + "]\n";
            } else if (step.kind == Step::send) {
                ::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL);
            } else {
                ::close(fd);
                open = false;
            }
        }
        if (open) {
            extra_ = receive(fd, 1 << 20);
            ::close(fd);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string errors_;
    std::string extra_;
};

struct Case {
    const char* what;
    std::vector<Step> script;
    std::function<Result(ifc::Connection&, std::string&)> call;  // fills `reply`
    Result result;
    std::string reply;
    bool open_after;
};

std::string bytes_of(std::size_t length, char first) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(first + i % 23);
    return bytes;
}

}  // namespace

TEST(Client, BytesOnTheWireAndResults) {
    const std::string stat_header = "GETIFC_get_stat        ";
    const std::string long_reply = bytes_of(1500, 'a');
    const std::string payload = bytes_of(2000, 'A');
    const std::string long_body = std::string("IFC_set_on_off_1\0", 17) + payload;
    auto get = [](std::string_view name) {
        return [name](ifc::Connection& c, std::string& reply) { return ifc::get(c, name, reply); };
    };
    auto put = [](std::string_view name, std::string_view payload) {
        return [name, payload](ifc::Connection& c, std::string&) { return ifc::put(c, name, payload); };
    };

    const Case cases[] = {
        {"get in chunks",
         {expect(stat_header), send("LEN0000001500"), expect("NEXT"), send(long_reply.substr(0, 1024)),
          expect("NEXT"), send(long_reply.substr(1024))},
         get("IFC_get_stat"), Result::ok, long_reply, true},
        {"get of 20-character name",
         {expect("GETIFC_get_hist_cntdatL"), send("LEN0000000003"), expect("NEXT"), send("1 2")},
         get("IFC_get_hist_cntdatL"), Result::ok, "1 2", true},
        {"get of empty reply sends no NEXT",
         {expect(stat_header), send("LEN0000000000")},
         get("IFC_get_stat"), Result::ok, "", true},
        {"get of unknown name",
         {expect(stat_header), send("LEN-000000001"), close_connection()},
         get("IFC_get_stat"), Result::unknown_command, "", false},
        {"get with a bad length header",
         {expect(stat_header), send("LEN00000000x1")},
         get("IFC_get_stat"), Result::malformed_reply, "", true},
        {"get with a length above the buffer",
         {expect(stat_header), send("LEN0000256001")},
         get("IFC_get_stat"), Result::malformed_reply, "", true},
        {"get without answer", {expect(stat_header)}, get("IFC_get_stat"), Result::timed_out, "", true},
        {"get closed in mid-reply",
         {expect(stat_header), send("LEN0000002000"), expect("NEXT"), send("abc"), close_connection()},
         get("IFC_get_stat"), Result::closed_by_server, "abc", false},
        {"get of a name too long", {}, get("IFC_get_hist_cntdatLR"), Result::invalid_argument, "", true},
        {"put of a short body",
         {expect(nul_header("PUT20")), send("NEXT"), expect(std::string("IFC_set_stat\0color:1", 20)),
          send("FIN")},
         put("IFC_set_stat", "color:1"), Result::ok, "", true},
        {"put in chunks",
         {expect(nul_header("PUT2017")), send("NEXT"), expect(long_body.substr(0, 1024)), send("NEXT"),
          expect(long_body.substr(1024)), send("FIN")},
         put("IFC_set_on_off_1", payload), Result::ok, "", true},
        {"put refused", {expect(nul_header("PUT5")), send("ERR!")}, put("abcd", ""), Result::rejected, "",
         true},
        {"put with a wrong token", {expect(nul_header("PUT5")), send("next")}, put("abcd", ""),
         Result::malformed_reply, "", true},
        {"put without FIN",
         {expect(nul_header("PUT5")), send("NEXT"), expect(std::string("abcd\0", 5)), close_connection()},
         put("abcd", ""), Result::closed_by_server, "", false},
        {"ping", {expect(nul_header("PING"))},
         [](ifc::Connection& c, std::string&) { return ifc::ping(c); }, Result::ok, "", true},
        {"disconnect", {expect(nul_header("DISCONNECT"))},
         [](ifc::Connection& c, std::string&) { return ifc::disconnect(c); }, Result::ok, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer server(c.script);
        ifc::Connection connection;
        ASSERT_EQ(ifc::connect_to(connection, "127.0.0.1", server.port(), 300), Result::ok);
        std::string reply;
        const Result result = c.call(connection, reply);
        EXPECT_EQ(result, c.result) << ifc::result_text(result);
        EXPECT_TRUE(reply == c.reply);
        EXPECT_EQ(connection.is_open(), c.open_after);
        connection.close();
        EXPECT_EQ(server.finish(), "");
        EXPECT_EQ(server.extra(), "") << "client sent more than the exchange";
    }
}

TEST(Client, ConnectRefusedAndCallsWithoutConnection) {
    // A port that was just free: nothing listens on it.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    close(probe);

    ifc::Connection connection;
    EXPECT_EQ(ifc::connect_to(connection, "127.0.0.1", ntohs(address.sin_port), 1000),
              Result::connect_failed);
    EXPECT_FALSE(connection.is_open());
    std::string reply;
    EXPECT_EQ(ifc::get(connection, "IFC_get_stat", reply), Result::not_connected);
    EXPECT_EQ(ifc::put(connection, "IFC_set_stat", "x"), Result::not_connected);
    EXPECT_EQ(ifc::ping(connection), Result::not_connected);
    EXPECT_EQ(ifc::send_raw(connection, "x"), Result::not_connected);
}
