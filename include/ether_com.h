// ether_com: the socket helpers of the command server.
//
// Creates the listener and moves bytes over an accepted client connection:
// exact-count reads with a per-wait time limit, and the "NEXT"-paced chunked
// transfers of PUT bodies (received) and GET replies (sent).
#pragma once

#include <cstdint>

// Non-zero: the framing prints its failure lines on standard output.
extern int16_t deb_ether_com;

// Creates an IPv4 TCP listener on `port` (address reuse on, wildcard address,
// backlog 5) and stores its descriptor in *listener. Returns 1, or -1 after
// printing the failure on standard error.
int ether_init(int* listener, int port);

// Reads exactly `count` bytes into `dst`, waiting at most `wait_seconds` for
// each piece. Returns count, fewer when the peer closed first, 0 for a count
// of 0 or less, -1 when a wait ran out or the receive failed.
int ether_recv_unit_data(int sock, char* dst, int count, int wait_seconds);

// Receives a body of `length` bytes into `dst`, asking for each chunk of at
// most 1024 bytes with "NEXT" and ending with "FIN". Returns length (0 for a
// length of 0 or less), -1 on failure or when `limit_seconds` passed.
int ether_recv_all_data(int sock, char* dst, int length, int limit_seconds);

// Sends the "LEN%010d" header for `length`, then one chunk of at most 1024
// bytes per "NEXT" from the client. Returns length (0 for a length of 0 or
// less), -1 on failure or when `limit_seconds` passed.
int ether_send_all_data(int sock, const char* src, int length, int limit_seconds);
