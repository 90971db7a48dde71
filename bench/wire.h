// wire: the benchmark's client side of the command protocol, on raw sockets.
//
// Lean on purpose: no strings, no allocation, no poll; blocking calls on a
// socket with TCP_NODELAY, so that what the benchmark times is the peer's
// work and the loopback, not the client. The same functions talk to the
// server and to the floor peer, so any client cost appears on both sides.
#pragma once

#include <cstddef>

namespace wire {

inline constexpr int HEADER_SIZE = 23;
inline constexpr int CHUNK_SIZE = 1024;
inline constexpr int LENGTH_HEADER_SIZE = 13;

// A blocking TCP connection to 127.0.0.1:`port`, Nagle off. -1 on failure.
int connect_loopback(int port);

// Sends all `count` bytes. False on failure.
bool send_all(int fd, const void* bytes, std::size_t count);

// Receives exactly `count` bytes. False on failure or when the peer closed.
bool recv_exact(int fd, void* bytes, std::size_t count);

// One GET exchange: the 23-byte `header`, the 13-byte length header, then
// one "NEXT" and one chunk at a time into `reply` (`capacity` bytes).
// Returns the reply length, or -1 on any failure or a negative length.
int get(int fd, const char* header, char* reply, int capacity);

// One PUT exchange: the 23-byte `header`, then a chunk of `body` after each
// "NEXT", until "FIN". False on failure or any other token.
bool put(int fd, const char* header, const char* body, int length);

// A PUT of length 0: the peer answers "FIN" as soon as it reads the header,
// that is once it has finished all earlier work. False on failure.
bool put_empty(int fd);

// Sends a 23-byte header that gets no answer (PING).
bool send_header(int fd, const char* header);

// Waits until the peer closes the connection (reading whatever comes), then
// closes `fd`. True when the peer closed.
bool wait_closed(int fd);

// A 23-byte header: `verb` and `rest`, filled up with `fill`, written to
// `out` (23 bytes, no terminator).
void make_header(char* out, const char* verb, const char* rest, char fill);

}  // namespace wire
