// tcp9001: the program entry and the connection loop.
//
// `main` creates the listener on port 9001 and hands it to the accept loop,
// which serves one client at a time for ever. For each connection the header
// loop reads 23-byte command headers into the transfer buffer
// `ether_tcpc_data` and answers them with the framing of ether_com and the
// dispatch of ether_parse. The loop owns the transfer buffer and the client
// socket. Tests run `tcp9001_serve` on a listener of their own.
//
// Standard output is flushed before each accept, after each accept, and on
// the failure paths of a header (failed read, short header, unknown verb,
// PUT length too large); nowhere else, so a watcher of the console sees the
// lines of a healthy connection only when the next one of these comes.
#include "tcp9001.h"

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "ether_com.h"
#include "ether_parse.h"

int16_t deb_tcp9001 = 1;
int32_t tcp9001_break = 0;
char ether_tcpc_data[TCP9001_MAX_BODY + 1];

namespace {

constexpr int HEADER_WAIT_SECONDS = 5;
constexpr int TRANSFER_LIMIT_SECONDS = 10;
constexpr int NAME_FIELD = 20;

bool has_verb(const char* header, const char* verb) {
    return std::strncmp(header, verb, std::strlen(verb)) == 0;
}

// Reads the PUT length at `text` with atoi's rules (leading white space, an
// optional sign, digits up to the first other byte). Returns true with the
// length when it lies from 0 to 256000; false for a negative length and for
// anything larger, including numbers too large for an int, which atoi would
// wrap into a small length.
bool put_length(const char* text, int* length) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > TCP9001_MAX_BODY) return false;
    }
    if (negative && value != 0) return false;
    *length = static_cast<int>(value);
    return true;
}

// The failure paths of a header flush standard output whether or not a
// message was printed.
void fail_line(const char* message) {
    if (deb_tcp9001) std::puts(message);
    std::fflush(stdout);
}

}  // namespace

void tcp9001_serve_connection(int client) {
    int non_blocking = 1;
    ioctl(client, FIONBIO, &non_blocking);

    for (;;) {
        const int n = ether_recv_unit_data(client, ether_tcpc_data, TCP9001_HEADER_SIZE,
                                           HEADER_WAIT_SECONDS);
        if (tcp9001_break) break;
        if (n < 0) {
            fail_line("main(): ether_recv_unit_data");
            break;
        }
        ether_tcpc_data[TCP9001_HEADER_SIZE] = '\0';
        if (deb_tcp9001) std::puts(ether_tcpc_data);
        if (n != TCP9001_HEADER_SIZE) {
            fail_line("error: command len");
            break;
        }

        if (has_verb(ether_tcpc_data, "GET")) {
            // The reply overwrites the header: dispatch on a copy of the name.
            // The copy stops at a NUL and the rest of the name stays NUL.
            char name[NAME_FIELD + 1] = {};
            std::memcpy(name, ether_tcpc_data + 3, strnlen(ether_tcpc_data + 3, NAME_FIELD));
            const int length = ether_get_data(name, ether_tcpc_data);
            if (ether_send_all_data(client, ether_tcpc_data, length, TRANSFER_LIMIT_SECONDS) !=
                length) {
                break;
            }
        } else if (has_verb(ether_tcpc_data, "PUT")) {
            int length = 0;
            if (!put_length(ether_tcpc_data + 3, &length)) {
                send(client, "ERR!", 4, MSG_NOSIGNAL);
                fail_line("error: TOO BIG DATA");
                continue;
            }
            const int received =
                ether_recv_all_data(client, ether_tcpc_data, length, TRANSFER_LIMIT_SECONDS);
            if (received < 0) break;
            if (received > 0) ether_put_data(ether_tcpc_data, received);
        } else if (has_verb(ether_tcpc_data, "PING")) {
            continue;
        } else if (has_verb(ether_tcpc_data, "DISCONNECT")) {
            break;
        } else {
            fail_line("error: UNKNOWN COMMAND");
            break;
        }
    }
    close(client);
}

void tcp9001_serve(int listener) {
    for (;;) {
        if (deb_tcp9001) std::printf("waiting... ");
        std::fflush(stdout);

        sockaddr_in peer;
        socklen_t peer_size = sizeof peer;
        const int client = accept(listener, reinterpret_cast<sockaddr*>(&peer), &peer_size);
        if (client < 0) {
            if (deb_tcp9001) std::perror("server: accept");
            continue;
        }
        if (deb_tcp9001) std::printf("connected... ");
        std::fflush(stdout);

        tcp9001_serve_connection(client);
    }
}

#ifndef TCP9001_NO_MAIN
int main() {
    // Console output and saves may fail; the server must not die of it: a
    // write past a file-size limit fails with EFBIG instead of SIGXFSZ, and a
    // console pipe whose reader has gone fails with EPIPE instead of SIGPIPE.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    int listener = -1;
    if (ether_init(&listener, TCP9001_PORT) == -1) {
        std::puts("Can't initialize sever socket.");
        return TCP9001_EXIT_NO_LISTENER;
    }
    tcp9001_serve(listener);
}
#endif
