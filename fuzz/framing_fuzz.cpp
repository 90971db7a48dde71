// Fuzz target: the framing functions and the header loop over a socket pair
// fed arbitrary client bytes.
//
// The first input byte picks the code under test; the rest (after a 4-byte
// length for the transfer functions) is what the client sends. All of it is
// written into the client end of a fresh socket pair, whose write side is
// then shut down, so every wait of the server ends at once (data or end of
// stream) and no input costs the 5-second waits of the protocol.
//   0: the header loop for one connection (tcp9001_serve_connection), with
//      GET, PUT, PING and DISCONNECT dispatched for real;
//   1: ether_recv_unit_data of a count from the input;
//   2: ether_recv_all_data of a body length from the input;
//   3: ether_send_all_data of a reply length from the input (negative too).
// The server end is non-blocking, as the connection loop makes it.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ether_com.h"
#include "fuzz_scratch.h"
#include "tcp9001.h"

namespace {

// A length from 4 input bytes, kept within what the loop ever passes: the
// transfer buffer's 256000 bytes; negative values stay as they are.
int length_from(const uint8_t* bytes) {
    int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    if (value > TCP9001_MAX_BODY) value %= TCP9001_MAX_BODY + 1;
    return value;
}

// Writes as much of `data` as the socket takes without blocking.
void feed(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n <= 0) break;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_scratch::enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned mode = data[0] & 3u;
    ++data;
    --size;
    int length = 0;
    if (mode != 0) {
        if (size < 4) return 0;
        length = length_from(data);
        data += 4;
        size -= 4;
    }

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    const int server = pair[0];
    const int client = pair[1];
    feed(client, data, size);
    shutdown(client, SHUT_WR);
    fcntl(server, F_SETFL, fcntl(server, F_GETFL) | O_NONBLOCK);

    switch (mode) {
        case 0:
            tcp9001_serve_connection(server);  // closes the server end
            break;
        case 1: {
            const int count = length % 4096;
            const int got = ether_recv_unit_data(server, ether_tcpc_data, count, 0);
            if (got < -1 || got > (count > 0 ? count : 0)) __builtin_trap();
            close(server);
            break;
        }
        case 2: {
            const int got = ether_recv_all_data(server, ether_tcpc_data, length, 1);
            if (got != -1 && got != (length > 0 ? length : 0)) __builtin_trap();
            close(server);
            break;
        }
        default: {
            const int sent = ether_send_all_data(server, ether_tcpc_data, length, 1);
            if (sent != -1 && sent != (length > 0 ? length : 0)) __builtin_trap();
            close(server);
            break;
        }
    }
    close(client);
    return 0;
}
