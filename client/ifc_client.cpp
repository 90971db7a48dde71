// ifc_client: the protocol client shared by the tests and `ifcctl`.
//
// Blocking socket calls, each bounded: receives wait with poll, sends carry
// SO_SNDTIMEO and MSG_NOSIGNAL (a vanished server gives an error, never
// SIGPIPE). See ifc_client.h for the protocol summary.
#include "ifc_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace ifc {

namespace {

// Waits for `fd` to become readable within `timeout_ms`.
Result wait_readable(int fd, int timeout_ms) {
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&entry, 1, timeout_ms);
        if (ready > 0) return Result::ok;
        if (ready == 0) return Result::timed_out;
        if (errno != EINTR) return Result::io_error;
    }
}

// Receives exactly `count` bytes into `out`. closed_by_server when the peer
// closed first (a reset counts as a close).
Result receive(int fd, int timeout_ms, std::size_t count, std::string& out) {
    out.clear();
    char buffer[4096];
    while (out.size() < count) {
        if (const Result waited = wait_readable(fd, timeout_ms); waited != Result::ok) {
            return waited;
        }
        const std::size_t want = std::min(sizeof buffer, count - out.size());
        const ssize_t got = recv(fd, buffer, want, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET)) return Result::closed_by_server;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return Result::io_error;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return Result::ok;
}

Result send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Result::timed_out;
            if (errno == EPIPE || errno == ECONNRESET) return Result::closed_by_server;
            return Result::io_error;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return Result::ok;
}

// Connects `fd` to `address` within `timeout_ms`, leaving it blocking.
bool connect_within(int fd, const sockaddr* address, socklen_t size, int timeout_ms) {
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    bool connected = ::connect(fd, address, size) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, timeout_ms) > 0) {
            int error = 0;
            socklen_t error_size = sizeof error;
            connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &error_size) == 0 &&
                        error == 0;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return connected;
}

// The 13-byte reply header "LEN" + ten characters: a length of 0..256000,
// or -1 for an unknown name. Anything else is malformed.
Result parse_length(const std::string& text, long* length) {
    if (text.compare(0, 3, "LEN") != 0) return Result::malformed_reply;
    if (text.compare(3, 10, "-000000001") == 0) return Result::unknown_command;
    long value = 0;
    for (std::size_t i = 3; i < 13; ++i) {
        if (text[i] < '0' || text[i] > '9') return Result::malformed_reply;
        value = value * 10 + (text[i] - '0');
    }
    if (value > MAX_BODY) return Result::malformed_reply;
    *length = value;
    return Result::ok;
}

// Ends the connection on results after which the server no longer serves it.
Result finish(Connection& connection, Result result) {
    if (result == Result::closed_by_server || result == Result::unknown_command) {
        connection.close();
    }
    return result;
}

}  // namespace

const char* result_text(Result result) {
    switch (result) {
        case Result::ok: return "ok";
        case Result::connect_failed: return "connect failed";
        case Result::not_connected: return "not connected";
        case Result::invalid_argument: return "invalid argument";
        case Result::unknown_command: return "unknown command";
        case Result::rejected: return "rejected by server (ERR!)";
        case Result::closed_by_server: return "closed by server";
        case Result::timed_out: return "timed out";
        case Result::malformed_reply: return "malformed reply";
        case Result::io_error: return "i/o error";
    }
    return "?";
}

Connection::Connection(Connection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), timeout_ms_(other.timeout_ms_) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        timeout_ms_ = other.timeout_ms_;
    }
    return *this;
}

Connection::~Connection() { close(); }

void Connection::set_timeout_ms(int timeout_ms) {
    timeout_ms_ = timeout_ms;
    if (fd_ >= 0) {
        timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
}

void Connection::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Result connect_to(Connection& connection, const std::string& host, int port, int timeout_ms) {
    connection.close();
    connection.timeout_ms_ = timeout_ms;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        return Result::connect_failed;
    }
    for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
        const int fd = socket(each->ai_family, each->ai_socktype, each->ai_protocol);
        if (fd < 0) continue;
        if (connect_within(fd, each->ai_addr, each->ai_addrlen, timeout_ms)) {
            connection.fd_ = fd;
            connection.set_timeout_ms(timeout_ms);
            break;
        }
        ::close(fd);
    }
    freeaddrinfo(found);
    return connection.is_open() ? Result::ok : Result::connect_failed;
}

std::string header(std::string_view verb, std::string_view rest, char fill) {
    std::string bytes;
    bytes.append(verb).append(rest);
    bytes.resize(HEADER_SIZE, fill);
    return bytes;
}

Result get(Connection& connection, std::string_view name, std::string& reply) {
    reply.clear();
    if (!connection.is_open()) return Result::not_connected;
    if (name.size() > NAME_FIELD) return Result::invalid_argument;
    const int fd = connection.fd();
    const int timeout = connection.timeout_ms();

    if (Result r = send_all(fd, header("GET", name, ' ')); r != Result::ok) {
        return finish(connection, r);
    }
    std::string length_header;
    if (Result r = receive(fd, timeout, 13, length_header); r != Result::ok) {
        return finish(connection, r);
    }
    long length = 0;
    if (Result r = parse_length(length_header, &length); r != Result::ok) {
        return finish(connection, r);
    }
    std::string chunk;
    while (reply.size() < static_cast<std::size_t>(length)) {
        if (Result r = send_all(fd, "NEXT"); r != Result::ok) return finish(connection, r);
        const std::size_t want =
            std::min<std::size_t>(CHUNK_SIZE, static_cast<std::size_t>(length) - reply.size());
        const Result r = receive(fd, timeout, want, chunk);
        reply += chunk;
        if (r != Result::ok) return finish(connection, r);
    }
    return Result::ok;
}

Result put(Connection& connection, std::string_view name, std::string_view payload) {
    if (!connection.is_open()) return Result::not_connected;
    const int fd = connection.fd();
    const int timeout = connection.timeout_ms();

    std::string body;
    body.append(name).push_back('\0');
    body.append(payload);
    if (Result r = send_all(fd, header("PUT", std::to_string(body.size()))); r != Result::ok) {
        return finish(connection, r);
    }
    // The body is never empty, so the first answer is "NEXT" or "ERR!".
    std::string token;
    for (std::size_t sent = 0; sent < body.size();) {
        if (Result r = receive(fd, timeout, 4, token); r != Result::ok) {
            return finish(connection, r);
        }
        if (token == "ERR!" && sent == 0) return Result::rejected;
        if (token != "NEXT") return Result::malformed_reply;
        const std::size_t chunk = std::min<std::size_t>(CHUNK_SIZE, body.size() - sent);
        if (Result r = send_all(fd, std::string_view(body).substr(sent, chunk));
            r != Result::ok) {
            return finish(connection, r);
        }
        sent += chunk;
    }
    if (Result r = receive(fd, timeout, 3, token); r != Result::ok) return finish(connection, r);
    return token == "FIN" ? Result::ok : Result::malformed_reply;
}

Result ping(Connection& connection) {
    if (!connection.is_open()) return Result::not_connected;
    return finish(connection, send_all(connection.fd(), header("PING")));
}

Result disconnect(Connection& connection) {
    if (!connection.is_open()) return Result::not_connected;
    const Result r = send_all(connection.fd(), header("DISCONNECT"));
    connection.close();
    return r;
}

Result send_raw(Connection& connection, std::string_view bytes) {
    if (!connection.is_open()) return Result::not_connected;
    return send_all(connection.fd(), bytes);
}

Result recv_exact(Connection& connection, std::size_t count, std::string& out) {
    out.clear();
    if (!connection.is_open()) return Result::not_connected;
    return receive(connection.fd(), connection.timeout_ms(), count, out);
}

Result recv_until_closed(Connection& connection, std::string& out) {
    out.clear();
    if (!connection.is_open()) return Result::not_connected;
    char buffer[4096];
    for (;;) {
        if (const Result waited = wait_readable(connection.fd(), connection.timeout_ms());
            waited != Result::ok) {
            return waited;
        }
        const ssize_t got = recv(connection.fd(), buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET)) return Result::ok;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return Result::io_error;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace ifc
