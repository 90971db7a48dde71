// sim_main: settings-file primitives, the CGI log and the simulated
// machine state.
//
// Owns the file work of both settings tables: `hfp_load_data2` reads a
// table image in one read, `hfp_save_data2` replaces a settings file
// crash-safely (temporary file, flush, rename). Called by the stores of
// ifc_net and vfp_ifc. Also holds the CGI log `append_log` and the simulated
// machine state, library routines that no command path calls.
#include "sim_main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

// ==== Settings-file primitives ==============================================

namespace {

// A write past the file-size limit raises SIGXFSZ, whose default action kills
// the process. With it ignored the write fails with EFBIG and the save fails
// instead. Done once, and only when nobody installed a handler of their own.
void ignore_file_size_signal() {
    static bool done = false;
    if (done) return;
    done = true;
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGXFSZ, SIG_IGN);
    }
}

// Writes all `length` bytes, going on after partial writes. Returns 0, or -1
// when any write fails (a full disk, the file-size limit): a short write is a
// failure.
int write_all(int fd, const void* data, int length) {
    const char* p = static_cast<const char*>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// Flushes the directory holding `path`, so that a rename in it is durable.
// Best effort: the file has already been replaced when this runs.
void sync_directory(const char* path) {
    char dir[PATH_MAX] = ".";
    if (const char* slash = std::strrchr(path, '/')) {
        const int len = slash == path ? 1 : static_cast<int>(slash - path);
        if (len >= static_cast<int>(sizeof dir)) return;
        std::snprintf(dir, sizeof dir, "%.*s", len, path);
    }
    const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Rewrites the open file in place without truncating it first: until the
// whole image is written, the file keeps at least its old length, so a
// failure never leaves it shorter than it was. A longer file is cut back to
// `length` once the image is in.
int rewrite_in_place(int fd, const void* data, int length) {
    if (lseek(fd, 0, SEEK_SET) != 0) return -1;
    if (write_all(fd, data, length) != 0) return -1;
    if (ftruncate(fd, length) != 0) return -1;
    return fsync(fd);
}

}  // namespace

int hfp_load_data2(const char* path, void* buffer, int size) {
    if (size < 0) return -1;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = read(fd, buffer, static_cast<size_t>(size));  // one read, as it comes
    close(fd);
    return n < 0 ? -1 : static_cast<int>(n);
}

// Crash-safe save: the image goes to "<path>.tmp" in the same directory, is
// flushed to disk and then renamed over the file, so the file is always
// either the old image or the new one, never a short one. The temporary
// name is fixed, so a crash leaves at most one stray file, which the next
// save replaces.
int hfp_save_data2(const char* path, const void* data, int length) {
    if (length < 0) return -1;
    ignore_file_size_signal();

    // An existing file that we may not write stays as it is (the rename
    // below would otherwise replace even a read-only file). O_NONBLOCK keeps
    // a FIFO without reader from blocking here.
    const int target = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (target < 0 && errno != ENOENT) return -1;
    struct stat target_stat {};
    if (target >= 0 && fstat(target, &target_stat) != 0) {
        close(target);
        return -1;
    }

    char tmp[PATH_MAX];
    const int tmp_len = std::snprintf(tmp, sizeof tmp, "%s.tmp", path);
    int fd = -1;
    if (tmp_len > 0 && tmp_len < static_cast<int>(sizeof tmp)) {
        unlink(tmp);  // a stray from an interrupted save
        fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        // No temporary file possible here (e.g. a read-only directory):
        // rewrite the file in place, if the file itself can be written.
        if (target < 0) return -1;
        const int result = rewrite_in_place(target, data, length);
        return close(target) != 0 ? -1 : result;
    }

    // A replaced file keeps its owner (where we may set it) and its
    // permission bits; a new one has 0644 less the umask from the open above.
    int result = 0;
    if (target >= 0) {
        if (fchown(fd, target_stat.st_uid, target_stat.st_gid) != 0) {
            // Not permitted: the replaced file becomes ours, as a new one would.
        }
        result = fchmod(fd, target_stat.st_mode & 07777);
        close(target);
    }
    if (result == 0) result = write_all(fd, data, length);
    if (result == 0) result = fsync(fd);
    if (close(fd) != 0) result = -1;
    if (result == 0) result = rename(tmp, path);
    if (result != 0) {
        unlink(tmp);
        return -1;
    }
    sync_directory(path);
    return 0;
}

// ==== CGI log and machine state =============================================

int status = 0;
int kakudo = 0;
int color_num = 0;

// Opened and closed on every call, so each call's bytes are in the file when
// it returns and other writers may append between calls.
int append_log(const char* data, int length) {
    const int fd = open("cgi.log", O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return fd;
    if (length > 0) {
        // A short or failed write goes unnoticed by design.
        const ssize_t written = write(fd, data, static_cast<size_t>(length));
        (void)written;
    }
    return close(fd);
}

void i_sim_main() {
    status = 4;
    kakudo = 300;
    color_num = 1;
}
