// ifc_client: a client of the command protocol on TCP port 9001.
//
// Plain functions over one connection, for the tests and for the command-line
// client `ifcctl`. Each protocol call does one whole exchange:
//   GET  "GET" + name padded with spaces to 20 bytes; the server answers
//        "LEN%010d", then one chunk of at most 1024 bytes per "NEXT" sent.
//        "LEN-000000001" means no such command; the server then closes.
//   PUT  "PUT" + body length; the body is name, NUL, payload. The server asks
//        for each chunk of at most 1024 bytes with "NEXT" and ends with "FIN",
//        or answers "ERR!" when the length is above 256000.
//   PING, DISCONNECT: a header alone, no answer.
// Headers other than GET are filled up to 23 bytes with NULs.
// The raw helpers send and receive bytes with the same time limit, for tests
// that must misbehave or check the wire byte for byte.
//
// Every wait (connect, each receive, each send) is limited by the time-out
// given to `connect_to`. No call throws; each returns a `Result`. A call that
// sees the connection end (closed_by_server, or unknown_command) closes the
// client's socket too; later calls on it return `not_connected`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ifc {

enum class Result {
    ok,
    connect_failed,    // name not resolved, refused, or connect timed out
    not_connected,     // the connection was never made or has ended
    invalid_argument,  // GET name longer than 20 bytes
    unknown_command,   // GET answered "LEN-000000001" (server closes)
    rejected,          // PUT answered "ERR!" (length above 256000 or negative)
    closed_by_server,  // the server closed the connection mid-exchange
    timed_out,         // a wait ran past the time-out
    malformed_reply,   // bytes that are not the expected token or header
    io_error,          // a send or receive failed otherwise
};

// A short English text for `result` ("ok", "unknown command", ...).
const char* result_text(Result result);

inline constexpr int DEFAULT_PORT = 9001;
inline constexpr int HEADER_SIZE = 23;
inline constexpr int NAME_FIELD = 20;
inline constexpr int CHUNK_SIZE = 1024;
inline constexpr int MAX_BODY = 256000;

// One client connection. Move-only; the destructor closes the socket.
class Connection {
public:
    Connection() = default;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int timeout_ms() const { return timeout_ms_; }
    // Changes the time-out of every later wait on this connection.
    void set_timeout_ms(int timeout_ms);
    // Closes the socket without sending anything (no DISCONNECT).
    void close();

private:
    friend Result connect_to(Connection&, const std::string&, int, int);
    int fd_ = -1;
    int timeout_ms_ = 5000;
};

// Connects to `host` (name or IPv4/IPv6 address) on `port`; `timeout_ms`
// then bounds this and every later wait on `connection`. Returns ok or
// connect_failed.
Result connect_to(Connection& connection, const std::string& host, int port = DEFAULT_PORT,
                  int timeout_ms = 5000);

// Reads the data item `name` (at most 20 bytes) into `reply`. Returns ok,
// unknown_command (the server has closed), or a failure with `reply` holding
// the bytes received so far.
Result get(Connection& connection, std::string_view name, std::string& reply);

// Sends the PUT command `name` with `payload` (any bytes, NULs included).
// Returns ok once "FIN" arrived, rejected on "ERR!" (connection still open),
// or a failure.
Result put(Connection& connection, std::string_view name, std::string_view payload);

// Sends a PING header; the server answers nothing.
Result ping(Connection& connection);

// Sends a DISCONNECT header and closes the socket.
Result disconnect(Connection& connection);

// ---- Raw bytes ---------------------------------------------------------------

// Sends all of `bytes` (one or more send calls). Returns ok or a failure.
Result send_raw(Connection& connection, std::string_view bytes);

// Receives exactly `count` bytes into `out` (replacing its content). Returns
// ok, or closed_by_server / timed_out with `out` holding what did arrive.
// Does not close the socket on closed_by_server.
Result recv_exact(Connection& connection, std::size_t count, std::string& out);

// Receives until the server closes the connection; `out` gets every byte.
// Returns ok once closed, timed_out when the server kept it open too long.
Result recv_until_closed(Connection& connection, std::string& out);

// A 23-byte header: `verb` followed by `rest`, filled up with `fill`.
// Longer input is cut at 23 bytes.
std::string header(std::string_view verb, std::string_view rest = {}, char fill = '\0');

}  // namespace ifc
