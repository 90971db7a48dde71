// Test helpers for the settings store: expected file images built byte by
// byte, and children that run store code under other conditions (another
// user, a file-size limit) and report plain integers back to the test.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace settings_image {

// Appends one 80-byte record in the file layout: little-endian integers at
// their fixed offsets, NUL-filled name and group, zero reserved bytes.
inline void put_record(std::string& image, int32_t type, const std::string& name,
                       const std::array<int32_t, 6>& values, int32_t min, int32_t max,
                       const std::string& group = "") {
    auto le32 = [&image](int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) image.push_back(static_cast<char>(u >> shift));
    };
    auto field = [&image](const std::string& text, size_t width) {
        image += text;
        image.append(width - text.size(), '\0');
    };
    le32(type);
    field(name, 32);
    for (int32_t v : values) le32(v);
    le32(min);
    le32(max);
    field(group, 4);
    image.append(8, '\0');
}

inline void put_terminator(std::string& image) { image.append(80, '\0'); }

// The little-endian word at byte `offset` of `image`.
inline int32_t word_at(const std::string& image, size_t offset) {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(image.at(offset + i));
    return static_cast<int32_t>(u);
}

// Byte offset of colour c of record n.
constexpr size_t value_offset(size_t record, int c) { return 80 * record + 32 + 4 * c; }

struct ChildResult {
    bool exited = false;   // ended by _exit, not by a signal
    int signal = 0;        // the signal that ended it, if any
    std::vector<int> values;
};

inline constexpr uid_t kNobody = 65534;

// Runs `body(values)` in a forked child, as user nobody when `as_nobody`
// (root ignores file modes, so permission faults need another user), and
// returns the integers it pushed. The child's working directory is ours.
template <typename Body>
ChildResult run_child(Body body, bool as_nobody = false) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (pid == 0) {
        close(fds[0]);
        if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
                          setuid(kNobody) != 0)) {
            _exit(2);
        }
        std::vector<int> values;
        body(values);
        for (int v : values) {
            if (write(fds[1], &v, sizeof v) != sizeof v) _exit(3);
        }
        _exit(0);
    }
    close(fds[1]);
    ChildResult result;
    int v;
    while (read(fds[0], &v, sizeof v) == sizeof v) result.values.push_back(v);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

}  // namespace settings_image
