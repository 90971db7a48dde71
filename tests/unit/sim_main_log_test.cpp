// The CGI log and the simulated machine state of sim_main.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "scratch_dir.h"
#include "sim_main.h"

namespace {

using CgiLog = ScratchDir;

bool exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

TEST_F(CgiLog, ZeroBytesCreateAnEmptyLogOrLeaveItAlone) {
    const mode_t old_mask = umask(022);
    EXPECT_EQ(append_log("ignored", 0), 0);
    umask(old_mask);
    struct stat st;
    ASSERT_EQ(stat("cgi.log", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(st.st_size, 0);

    write_file("cgi.log", "kept");
    EXPECT_EQ(append_log("ignored", 0), 0);
    EXPECT_EQ(read_file("cgi.log"), "kept");
}

TEST_F(CgiLog, AppendsRawBytesAsGiven) {
    struct Case {
        const char* what;
        const char* existing;   // nullptr: no file yet
    };
    for (const Case& c : {Case{"new file", nullptr}, Case{"existing file", "x\n"}}) {
        SCOPED_TRACE(c.what);
        unlink("cgi.log");
        std::string expected;
        if (c.existing != nullptr) {
            write_file("cgi.log", c.existing);
            expected = c.existing;
        }
        EXPECT_EQ(append_log("ab", 2), 0);
        EXPECT_EQ(append_log("cd", 2), 0);
        EXPECT_EQ(append_log("e\0f\n", 4), 0);  // a NUL is a byte like any other
        expected += std::string("abcde\0f\n", 8);
        EXPECT_EQ(read_file("cgi.log"), expected);
    }
}

// Root ignores directory permissions, so the attempt runs in a child that
// has given them up when the test runs as root.
TEST_F(CgiLog, UnwritableDirectoryGivesNegativeResultAndNoFile) {
    ASSERT_EQ(chmod(".", 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
        const int result = append_log("ab", 2);
        _exit(result < 0 && !exists("cgi.log") ? 0 : 1);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0);
    EXPECT_FALSE(exists("cgi.log"));
}

TEST(SimMain, StateIsZeroUntilInitialised) {
    EXPECT_EQ(status, 0);
    EXPECT_EQ(kakudo, 0);
    EXPECT_EQ(color_num, 0);
    for (int round = 0; round < 2; ++round) {
        i_sim_main();
        EXPECT_EQ(status, 4);
        EXPECT_EQ(kakudo, 300);
        EXPECT_EQ(color_num, 1);
        status = kakudo = color_num = -7;  // a second call sets them again
    }
    status = kakudo = color_num = 0;
}

}  // namespace
