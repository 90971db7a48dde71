// Fuzz target: a PUT body as the connection loop hands it to the dispatcher.
//
// The input is copied into the transfer buffer (at most 256000 bytes, the
// largest body the loop accepts, with the spare byte behind it that the
// handlers terminate the payload in) and split and dispatched by
// ether_put_data, so every PUT handler and its parser sees arbitrary bytes.
// The handlers save their settings files in a scratch working directory.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ether_parse.h"
#include "fuzz_scratch.h"
#include "tcp9001.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_scratch::enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // the loop never dispatches an empty body
    const size_t length = size < TCP9001_MAX_BODY ? size : TCP9001_MAX_BODY;
    std::memcpy(ether_tcpc_data, data, length);
    ether_put_data(ether_tcpc_data, static_cast<int>(length));
    return 0;
}
