// Fuzz target: arbitrary settings-file contents, then every GET command.
//
// The first input byte chooses what goes on disk: bits 0-1 pick the
// interface file, the valve file, both, or neither (files removed); for
// both, the second byte picks where the rest is split between them. The
// rest is written as the file contents (any length, short, long or exact).
// Then each name of the GET table is dispatched with ether_get_data on the
// transfer buffer, so every GET handler reads whatever the files hold.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ether_parse.h"
#include "fuzz_scratch.h"
#include "tcp9001.h"

namespace {

constexpr const char* IFC_FILE = "ifc_set.set";
constexpr const char* VALVE_FILE = "valve_fp.set";
constexpr size_t IFC_SIZE = 800;
constexpr size_t VALVE_SIZE = 8960;

void put_file(const char* name, const uint8_t* data, size_t size) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) break;
        data += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
}

// Exact-size images are the interesting case (anything else is replaced by
// the defaults), so a short input is stretched to the table size with zeros
// when bit 2 of the first byte asks for it.
void put_image(const char* name, const uint8_t* data, size_t size, size_t table_size, bool pad) {
    static uint8_t padded[VALVE_SIZE];
    if (pad && size < table_size) {
        std::memset(padded, 0, table_size);
        std::memcpy(padded, data, size);
        put_file(name, padded, table_size);
    } else {
        put_file(name, data, size);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_scratch::enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const unsigned choice = data[0] & 3u;
    const bool pad = (data[0] & 4u) != 0;
    const uint8_t split_byte = data[1];
    data += 2;
    size -= 2;

    unlink(IFC_FILE);
    unlink(VALVE_FILE);
    switch (choice) {
        case 0:
            put_image(IFC_FILE, data, size, IFC_SIZE, pad);
            break;
        case 1:
            put_image(VALVE_FILE, data, size, VALVE_SIZE, pad);
            break;
        case 2: {
            const size_t split = size * split_byte / 255;
            put_image(IFC_FILE, data, split, IFC_SIZE, pad);
            put_image(VALVE_FILE, data + split, size - split, VALVE_SIZE, pad);
            break;
        }
        default:
            break;  // neither: the handlers start from the defaults
    }

    for (const auto* row = get_commands; row->name != nullptr; ++row) {
        char name[21];
        std::memcpy(name, row->name, 20);  // the padded 20-byte header field
        name[20] = '\0';
        const int length = ether_get_data(name, ether_tcpc_data);
        if (length < 0 || length > TCP9001_MAX_BODY) __builtin_trap();
    }
    return 0;
}
