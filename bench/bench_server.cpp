// bench_server: the connection loop on a listener handed down by its parent.
//
// The server program without its fixed port: the benchmark makes a loopback
// listener on an ephemeral port, passes it as descriptor 3 and starts this
// program in a scratch directory with its console on /dev/null. Everything
// else (modules, loop, switches, settings files) is the server's own.
#include "tcp9001.h"

namespace {

constexpr int INHERITED_LISTENER = 3;

}  // namespace

int main() { tcp9001_serve(INHERITED_LISTENER); }
