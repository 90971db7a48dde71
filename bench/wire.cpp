// wire: raw-socket client exchanges for the benchmark (see wire.h).
#include "wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wire {

int connect_loopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, const void* bytes, std::size_t count) {
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = send(fd, p, count, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool recv_exact(int fd, void* bytes, std::size_t count) {
    char* p = static_cast<char*>(bytes);
    while (count > 0) {
        const ssize_t n = recv(fd, p, count, MSG_WAITALL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

int get(int fd, const char* header, char* reply, int capacity) {
    if (!send_all(fd, header, HEADER_SIZE)) return -1;
    char length_header[LENGTH_HEADER_SIZE];
    if (!recv_exact(fd, length_header, sizeof length_header)) return -1;
    if (std::memcmp(length_header, "LEN", 3) != 0) return -1;
    int length = 0;
    for (int i = 3; i < LENGTH_HEADER_SIZE; ++i) {
        const char digit = length_header[i];
        if (digit < '0' || digit > '9') return -1;  // a minus sign: no such command
        length = length * 10 + (digit - '0');
    }
    if (length > capacity) return -1;
    for (int got = 0; got < length;) {
        const int chunk = length - got < CHUNK_SIZE ? length - got : CHUNK_SIZE;
        if (!send_all(fd, "NEXT", 4) || !recv_exact(fd, reply + got, static_cast<std::size_t>(chunk)))
            return -1;
        got += chunk;
    }
    return length;
}

bool put(int fd, const char* header, const char* body, int length) {
    if (!send_all(fd, header, HEADER_SIZE)) return false;
    char token[4];
    for (int sent = 0; sent < length;) {
        if (!recv_exact(fd, token, 4) || std::memcmp(token, "NEXT", 4) != 0) return false;
        const int chunk = length - sent < CHUNK_SIZE ? length - sent : CHUNK_SIZE;
        if (!send_all(fd, body + sent, static_cast<std::size_t>(chunk))) return false;
        sent += chunk;
    }
    return recv_exact(fd, token, 3) && std::memcmp(token, "FIN", 3) == 0;
}

bool put_empty(int fd) {
    static const char header[HEADER_SIZE] = {'P', 'U', 'T', '0'};
    char token[3];
    return send_all(fd, header, HEADER_SIZE) && recv_exact(fd, token, 3) &&
           std::memcmp(token, "FIN", 3) == 0;
}

bool send_header(int fd, const char* header) { return send_all(fd, header, HEADER_SIZE); }

bool wait_closed(int fd) {
    char sink[256];
    ssize_t n;
    do {
        n = recv(fd, sink, sizeof sink, 0);
    } while (n > 0 || (n < 0 && errno == EINTR));
    close(fd);
    return n == 0;
}

void make_header(char* out, const char* verb, const char* rest, char fill) {
    std::memset(out, fill, HEADER_SIZE);
    const std::size_t verb_length = std::strlen(verb);
    std::memcpy(out, verb, verb_length);
    const std::size_t rest_length = std::strlen(rest);
    const std::size_t room = HEADER_SIZE - verb_length;
    std::memcpy(out + verb_length, rest, rest_length < room ? rest_length : room);
}

}  // namespace wire
