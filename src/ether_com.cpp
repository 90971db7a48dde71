// ether_com: the socket helpers of the command server.
//
// Creates the listening socket and moves bytes over the accepted client
// connection: exact-count reads with a time limit on every wait, the PUT body
// receive (the server asks for each chunk with "NEXT" and ends with "FIN")
// and the GET reply send (a "LEN%010d" header, then one chunk per "NEXT" from
// the client). Called by the connection loop of tcp9001. Keeps no state but
// its debug switch.
//
// Every send passes MSG_NOSIGNAL: a client that vanished while the server
// sends makes that send fail with EPIPE, which ends the connection only; the
// process never receives SIGPIPE (also when the helpers run inside a program
// that keeps SIGPIPE's default action).
#include "ether_com.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <ctime>

int16_t deb_ether_com = 1;

namespace {

constexpr int CHUNK_SIZE = 1024;
constexpr int RECV_WAIT_SECONDS = 5;
constexpr int LISTEN_BACKLOG = 5;

// Sends all of `bytes` in one call; the caller compares the count.
long send_once(int sock, const char* bytes, int count) {
    return send(sock, bytes, static_cast<std::size_t>(count), MSG_NOSIGNAL);
}

// Waits until `sock` is readable. poll has no limit on the descriptor
// number. Hang-up and error count as readable: recv then reports them.
bool wait_readable(int sock, int seconds) {
    pollfd entry{sock, POLLIN, 0};
    const int ready = poll(&entry, 1, seconds * 1000);
    return ready > 0 && (entry.revents & POLLNVAL) == 0;
}

}  // namespace

int ether_init(int* listener, int port) {
    *listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (*listener < 0) {
        std::fputs("server: socket()\n", stderr);
        return -1;
    }
    const int on = 1;
    if (setsockopt(*listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) return -1;

    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(*listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        std::perror("server: bind");
        return -1;
    }
    if (listen(*listener, LISTEN_BACKLOG) == -1) {
        std::perror("server: listen");
        return -1;
    }
    return 1;
}

int ether_recv_unit_data(int sock, char* dst, int count, int wait_seconds) {
    if (count <= 0) return 0;
    int received = 0;
    while (received < count) {
        if (!wait_readable(sock, wait_seconds)) {
            if (deb_ether_com) std::puts("\nether_recv_unit_data(): select() timeout");
            return -1;
        }
        const long got = recv(sock, dst + received, static_cast<std::size_t>(count - received), 0);
        if (got < 0) return -1;
        if (got == 0) return received;
        received += static_cast<int>(got);
    }
    return count;
}

int ether_recv_all_data(int sock, char* dst, int length, int limit_seconds) {
    const std::time_t deadline = std::time(nullptr) + limit_seconds;
    int received = 0;
    while (received < length) {
        if (std::time(nullptr) > deadline) {
            if (deb_ether_com) std::puts("ether_recv_all_data(): time_out");
            return -1;
        }
        if (send_once(sock, "NEXT", 4) != 4) {
            if (deb_ether_com) std::puts("send() error");
            return -1;
        }
        const int chunk = length - received < CHUNK_SIZE ? length - received : CHUNK_SIZE;
        if (ether_recv_unit_data(sock, dst + received, chunk, RECV_WAIT_SECONDS) != chunk) return -1;
        received += chunk;
    }
    send_once(sock, "FIN", 3);
    return received;
}

int ether_send_all_data(int sock, const char* src, int length, int limit_seconds) {
    const std::time_t deadline = std::time(nullptr) + limit_seconds;

    // "LEN" and ten characters; a negative length of ten digits takes one more.
    char header[16];
    const int header_size = std::snprintf(header, sizeof header, "LEN%010d", length);
    if (send_once(sock, header, header_size) != header_size) {
        if (deb_ether_com) std::puts("ether_send_all_data(): send() error");
        return -1;
    }

    int sent = 0;
    for (;;) {
        if (sent >= length) return sent;
        if (std::time(nullptr) > deadline) {
            if (deb_ether_com) std::puts("ether_send_all_data(): time_out");
            return -1;
        }
        char token[4];
        const int got = ether_recv_unit_data(sock, token, 4, RECV_WAIT_SECONDS);
        if (got < 0) {
            if (deb_ether_com) std::puts("ether_send_all_data(): ether_recv_unit_data() error");
            std::fflush(stdout);
            return -1;
        }
        if (got < 4) {
            std::fflush(stdout);
            return -1;
        }
        if (std::memcmp(token, "NEXT", 4) != 0) {
            if (deb_ether_com) std::puts("ether_send_all_data(): can't found \"NEXT\"");
            std::fflush(stdout);
            return -1;
        }
        const int chunk = length - sent < CHUNK_SIZE ? length - sent : CHUNK_SIZE;
        if (send_once(sock, src + sent, chunk) != chunk) {
            if (deb_ether_com) std::puts("ether_send_all_data(): data send error");
            return -1;
        }
        sent += chunk;
    }
}
