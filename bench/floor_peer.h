// floor_peer: the physical floor of a command, a peer that does the same
// system calls as the server and nothing else.
//
// For one connection the peer repeats a fixed script per exchange: read the
// 23-byte headers; receive a PUT body in chunks, each asked for with "NEXT",
// and answer "FIN"; load and save files of the server's sizes; write the
// console output; send a GET reply as a 13-byte length header and one chunk
// per "NEXT". The same message sizes and round trips as the server, the same
// opens, reads, writes, fsyncs, renames and closes, but no parsing, dispatch,
// formatting or table work. The client sends the script once, right after
// connecting; the peer then runs it until the client shuts its side down.
#pragma once

#include <cstdint>

namespace floor_peer {

enum class settings_file : int32_t { interface_800, valve_8960 };

// What the peer does per exchange, in this order: `headers` header reads;
// for `body_length` > 0 the chunked receive and "FIN"; `loads` loads and
// `saves` durable saves of `file`, alternating while both remain; one
// console write of `console_bytes` to /dev/null; for `reply_length` >= 0
// the length header and the reply chunks; for `sync` non-zero one more
// header answered with "FIN" (how the benchmark waits for the end of the
// work behind a PUT).
struct script {
    int32_t headers = 1;
    int32_t body_length = 0;
    int32_t reply_length = -1;
    int32_t loads = 0;
    int32_t saves = 0;
    settings_file file = settings_file::interface_800;
    int32_t console_bytes = 0;
    int32_t sync = 0;
};

// Serves connections on `listener` one after another, for ever, in the
// working directory `dir` (where it makes its two files first). Meant for a
// child process; never returns.
[[noreturn]] void serve(int listener, const char* dir);

}  // namespace floor_peer
