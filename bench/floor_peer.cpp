// floor_peer: the scripted peer behind the floor figures (see floor_peer.h).
//
// A load is what the server's load is: open read-only, one read of the whole
// file, close. A durable save is the least that leaves the file whole and on
// stable storage after a crash: write a temporary file, fsync it, close it,
// rename it over the file, fsync the directory.
#include "floor_peer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "wire.h"

namespace floor_peer {

namespace {

constexpr int MAX_BODY = 256000;

struct file_spec {
    const char* name;
    const char* temporary;
    int size;
};

constexpr file_spec files[] = {
    {"floor_ifc.set", "floor_ifc.set.tmp", 800},
    {"floor_valve.set", "floor_valve.set.tmp", 8960},
};

// Bodies arrive here, replies and file images come from here.
char buffer[MAX_BODY + 1];
char image[8960];

bool load(const file_spec& f) {
    const int fd = open(f.name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = read(fd, image, static_cast<std::size_t>(f.size));
    close(fd);
    return n == f.size;
}

bool save(const file_spec& f) {
    const int fd = open(f.temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, image, static_cast<std::size_t>(f.size)) == f.size;
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(f.temporary, f.name) == 0;
    const int dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    ok = fsync(dir) == 0 && ok;
    close(dir);
    return ok;
}

// Runs `s` for each exchange until the client ends the connection.
void run(int client, const script& s, int console) {
    const file_spec& f = files[static_cast<int>(s.file)];
    // Made once per connection: the floor does no formatting per exchange.
    char length_header[wire::LENGTH_HEADER_SIZE + 1];
    std::snprintf(length_header, sizeof length_header, "LEN%010d", s.reply_length);
    for (;;) {
        for (int h = 0; h < s.headers; ++h)
            if (!wire::recv_exact(client, buffer, wire::HEADER_SIZE)) return;
        if (s.body_length > 0) {
            for (int got = 0; got < s.body_length;) {
                const int chunk = s.body_length - got < wire::CHUNK_SIZE ? s.body_length - got
                                                                         : wire::CHUNK_SIZE;
                if (!wire::send_all(client, "NEXT", 4) ||
                    !wire::recv_exact(client, buffer + got, static_cast<std::size_t>(chunk)))
                    return;
                got += chunk;
            }
            if (!wire::send_all(client, "FIN", 3)) return;
        }
        for (int i = 0; i < s.loads || i < s.saves; ++i) {
            if (i < s.loads && !load(f)) std::abort();
            if (i < s.saves && !save(f)) std::abort();
        }
        if (s.console_bytes > 0 &&
            write(console, buffer, static_cast<std::size_t>(s.console_bytes)) != s.console_bytes)
            std::abort();
        if (s.reply_length >= 0) {
            if (!wire::send_all(client, length_header, wire::LENGTH_HEADER_SIZE)) return;
            for (int sent = 0; sent < s.reply_length;) {
                const int chunk = s.reply_length - sent < wire::CHUNK_SIZE ? s.reply_length - sent
                                                                           : wire::CHUNK_SIZE;
                char token[4];
                if (!wire::recv_exact(client, token, 4) ||
                    !wire::send_all(client, buffer, static_cast<std::size_t>(chunk)))
                    return;
                sent += chunk;
            }
        }
        if (s.sync != 0 && (!wire::recv_exact(client, buffer, wire::HEADER_SIZE) ||
                            !wire::send_all(client, "FIN", 3)))
            return;
    }
}

}  // namespace

void serve(int listener, const char* dir) {
    if (chdir(dir) != 0) std::abort();
    for (const file_spec& f : files) {
        if (!save(f)) std::abort();
    }
    const int console = open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (;;) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        script s;
        if (wire::recv_exact(client, &s, sizeof s) && s.body_length <= MAX_BODY &&
            s.console_bytes <= MAX_BODY)
            run(client, s, console);
        close(client);
    }
}

}  // namespace floor_peer
