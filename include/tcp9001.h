// tcp9001: the program entry and the connection loop of the command server.
//
// Owns the transfer buffer through which every header, PUT body and GET
// reply passes, and the loop that accepts one client at a time and reads its
// 23-byte command headers: GET is answered, PUT received and dispatched, PING
// ignored, DISCONNECT and anything else end the connection.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int TCP9001_PORT = 9001;
inline constexpr int TCP9001_HEADER_SIZE = 23;
inline constexpr int TCP9001_MAX_BODY = 256000;

// Exit status of the program when the listener cannot be created.
inline constexpr int TCP9001_EXIT_NO_LISTENER = 1;

// Non-zero: the loop prints its console lines on standard output.
extern int16_t deb_tcp9001;
// Non-zero: every connection is closed right after its first header read.
extern int32_t tcp9001_break;

// The transfer buffer. One spare byte behind the 256000 lets a PUT handler
// terminate the payload of a full-size body.
extern char ether_tcpc_data[TCP9001_MAX_BODY + 1];

// The accept loop: serves the clients of the listening socket `listener` one
// after another, for ever. Never returns; the listener is never closed.
[[noreturn]] void tcp9001_serve(int listener);

// The header loop for one accepted connection: switches `client` to
// non-blocking mode, serves its headers until the connection ends, and
// closes `client` before returning.
void tcp9001_serve_connection(int client);
