// The settings-file primitives: one-read load, crash-safe save, and the
// faults a save meets (permissions, a file-size limit).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "other_user_scratch.h"
#include "settings_image.h"
#include "sim_main.h"

namespace {

using settings_image::ChildResult;
using settings_image::run_child;

struct stat stat_of(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0) st.st_ino = 0;
    return st;
}

bool exists(const char* path) { return access(path, F_OK) == 0; }

int save(const char* path, const std::string& bytes) {
    return hfp_save_data2(path, bytes.data(), static_cast<int>(bytes.size()));
}

class SettingsFiles : public OtherUserScratch {};

const std::string kOld(8960, 'o');
const std::string kNew = std::string(8959, 'n') + 'N';

}  // namespace

TEST_F(SettingsFiles, LoadMakesOneReadOfAtMostSize) {
    struct Case {
        const char* content;  // nullptr: no file
        int expected;
        const char* buffer_after;
    };
    const Case cases[] = {
        {nullptr, 0, "........"},
        {"", 0, "........"},
        {"abcde", 5, "abcde..."},
        {"abcdefgh", 8, "abcdefgh"},
        {"abcdefghijk", 8, "abcdefgh"},
    };
    for (const Case& k : cases) {
        std::filesystem::remove("f.set");
        if (k.content) write_file("f.set", k.content);
        char buffer[9] = "........";
        EXPECT_EQ(hfp_load_data2("f.set", buffer, 8), k.expected);
        EXPECT_STREQ(buffer, k.buffer_after);
    }
    ASSERT_EQ(mkdir("dir", 0755), 0);
    char buffer[8];
    EXPECT_EQ(hfp_load_data2("dir", buffer, 8), -1);  // opens, but the read fails
}

TEST_F(SettingsFiles, SaveCreatesWithMode0644LessTheUmask) {
    const struct {
        mode_t mask;
        mode_t mode;
    } cases[] = {{022, 0644}, {027, 0640}, {0, 0644}, {077, 0600}};
    for (const auto& k : cases) {
        std::filesystem::remove("f.set");
        const mode_t old_mask = umask(k.mask);
        const int result = save("f.set", kNew);
        umask(old_mask);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(read_file("f.set"), kNew);
        EXPECT_EQ(stat_of("f.set").st_mode & 07777, k.mode) << "umask " << k.mask;
        EXPECT_FALSE(exists("f.set.tmp"));
    }
}

TEST_F(SettingsFiles, SaveReplacesWholeKeepingModeAndReusesAStrayTemporary) {
    write_file("f.set", kOld + "tail");
    ASSERT_EQ(chmod("f.set", 0600), 0);
    write_file("f.set.tmp", "left by a crash");
    ASSERT_EQ(chmod("f.set.tmp", 0400), 0);

    EXPECT_EQ(save("f.set", kNew), 0);
    EXPECT_EQ(read_file("f.set"), kNew);
    EXPECT_EQ(stat_of("f.set").st_mode & 07777, 0600u);
    EXPECT_FALSE(exists("f.set.tmp"));
}

TEST_F(SettingsFiles, SaveOverADirectoryFails) {
    ASSERT_EQ(mkdir("f.set", 0755), 0);
    EXPECT_EQ(save("f.set", kNew), -1);
    EXPECT_TRUE(std::filesystem::is_directory("f.set"));
    EXPECT_FALSE(exists("f.set.tmp"));
}

// The directory is writable, so a rename could replace the read-only file;
// the save must refuse instead.
TEST_F(SettingsFiles, ReadOnlyFileIsLeftUntouched) {
    write_file("f.set", kOld);
    give("f.set", 0444);
    const ino_t inode = stat_of("f.set").st_ino;
    const ChildResult r = as_other_user([](std::vector<int>& v) { v.push_back(save("f.set", kNew)); });
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.values, std::vector<int>{-1});
    EXPECT_EQ(read_file("f.set"), kOld);
    EXPECT_EQ(stat_of("f.set").st_ino, inode);
    EXPECT_FALSE(exists("f.set.tmp"));
}

// No temporary file can be made in a read-only directory: a writable file is
// rewritten in place (same inode), longer ones cut to the new length; without
// a writable file the save fails and creates nothing.
TEST_F(SettingsFiles, ReadOnlyDirectoryRewritesInPlaceOrFails) {
    write_file("f.set", kOld + "tail");
    give("f.set", 0600);
    write_file("ro.set", kOld);
    give("ro.set", 0444);
    const ino_t inode = stat_of("f.set").st_ino;
    ASSERT_EQ(chmod(".", 0555), 0);
    const ChildResult r = as_other_user([](std::vector<int>& v) {
        v.push_back(save("f.set", kNew));
        v.push_back(save("ro.set", kNew));
        v.push_back(save("new.set", kNew));
    });
    ASSERT_EQ(chmod(".", 0755), 0);
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.values, (std::vector<int>{0, -1, -1}));
    EXPECT_EQ(read_file("f.set"), kNew);
    EXPECT_EQ(stat_of("f.set").st_ino, inode);
    EXPECT_EQ(read_file("ro.set"), kOld);
    EXPECT_FALSE(exists("new.set"));
}

// A save that runs into the file-size limit fails instead of killing the
// process with SIGXFSZ, and the previous file stays whole. 4,096 bytes let a
// small file through but not a full valve table.
TEST_F(SettingsFiles, FileSizeLimitFailsTheSaveAndKeepsTheOldFile) {
    write_file("f.set", kOld);
    const ChildResult r = run_child([](std::vector<int>& v) {
        const rlimit limit{4096, 4096};
        v.push_back(setrlimit(RLIMIT_FSIZE, &limit));
        v.push_back(save("f.set", kNew));
        v.push_back(save("small.set", "fits"));
    });
    ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
    EXPECT_EQ(r.values, (std::vector<int>{0, -1, 0}));
    EXPECT_EQ(read_file("f.set"), kOld);
    EXPECT_FALSE(exists("f.set.tmp"));
    EXPECT_EQ(read_file("small.set"), "fits");
}

// The in-place fallback under the same limit: the write fails part way, the
// save fails, and the file is never left shorter than it was.
TEST_F(SettingsFiles, FileSizeLimitInPlaceNeverShortensTheFile) {
    write_file("f.set", kOld);
    give("f.set", 0644);
    ASSERT_EQ(chmod(".", 0555), 0);
    const ChildResult r = as_other_user([](std::vector<int>& v) {
        const rlimit limit{4096, 4096};
        v.push_back(setrlimit(RLIMIT_FSIZE, &limit));
        v.push_back(save("f.set", kNew));
    });
    ASSERT_EQ(chmod(".", 0755), 0);
    ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
    EXPECT_EQ(r.values, (std::vector<int>{0, -1}));
    const std::string after = read_file("f.set");
    EXPECT_EQ(after.size(), kOld.size());
    EXPECT_EQ(after.substr(0, 4096), kNew.substr(0, 4096));
    EXPECT_EQ(after.substr(4096), kOld.substr(4096));
}
