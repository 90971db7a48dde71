// Buffered console printing of lib_data2: diverting, the flush above 98,000
// characters, bounded appends, and the copy to "mprint.log".
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "lib_data2.h"
#include "scratch_dir.h"
#include "stdout_capture.h"

namespace {

class MorPrint : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        captured_stdout([] { mprint_pull(); });  // straight through, empty
    }
    void TearDown() override {
        captured_stdout([] { mprint_pull(); });
        ScratchDir::TearDown();
    }

    // Diverts messages of 1,000 characters (999 digits of their number and a
    // line feed) while they fit in `total`, then the rest in one message;
    // returns the text diverted.
    static std::string divert_numbered(int total) {
        std::string all;
        for (int i = 0; total > 0; ++i) {
            char line[1001];
            const int width = total >= 1000 ? 999 : total - 1;
            if (width > 0) {
                std::snprintf(line, sizeof line, "%0*d\n", width, i);
            } else {
                std::snprintf(line, sizeof line, "\n");
            }
            EXPECT_EQ(MorPrintf("%s", line), width + 1);
            all += line;
            total -= width + 1;
        }
        return all;
    }
};

TEST_F(MorPrint, DivertedTextIsWrittenOnceByPull) {
    EXPECT_EQ(captured_stdout([] {
                  mprint_push();
                  EXPECT_EQ(MorPrintf("a=%d\n", 5), 4);
              }),
              "");
    EXPECT_EQ(mprnP, 4);
    EXPECT_EQ(captured_stdout([] { mprint_pull(); }), "a=5\n");
    EXPECT_EQ(mprnP, 0);
    EXPECT_EQ(captured_stdout([] { mprint_pull(); }), "");
}

TEST_F(MorPrint, PrintsStraightThroughUnlessDiverting) {
    struct Case {
        const char* before;
        bool diverted;
        void (*end_diverting)();
    };
    const Case cases[] = {
        {"never diverted", false, [] {}},
        {"after pull", true, [] { mprint_pull(); }},
        {"after pull_log", true, [] { mprint_pull_log(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        captured_stdout([&] {
            if (c.diverted) {
                mprint_push();
                MorPrintf("held");
            }
            c.end_diverting();
        });
        int result = 0;
        EXPECT_EQ(captured_stdout([&] { result = MorPrintf("b%d;", 17); }), "b17;");
        EXPECT_EQ(result, 4);
        EXPECT_EQ(mprnP, 0);
    }
}

TEST_F(MorPrint, PushDropsBufferedText) {
    EXPECT_EQ(captured_stdout([] {
                  mprint_push();
                  MorPrintf("old");
                  mprint_push();
                  MorPrintf("new");
              }),
              "");
    EXPECT_EQ(captured_stdout([] { mprint_pull(); }), "new");
    EXPECT_EQ(captured_stdout([] {
                  mprint_push();
                  mprint_pull();
              }),
              "");
}

// 98,000 held characters stay held; the message that goes above is appended
// in full, everything is written at once, and diverting goes on empty.
TEST_F(MorPrint, FlushesOnlyAbove98000) {
    std::string held;
    EXPECT_EQ(captured_stdout([&] {
                  mprint_push();
                  held = divert_numbered(MPRN_FLUSH_ABOVE - 1);
                  MorPrintf("!");
              }),
              "");
    EXPECT_EQ(mprnP, 98000);
    EXPECT_EQ(captured_stdout([] { EXPECT_EQ(MorPrintf("?%d", 12), 3); }), held + "!?12");
    EXPECT_EQ(mprnP, 0);

    // Still diverting; the log gets only what came after the flush.
    EXPECT_EQ(captured_stdout([] { MorPrintf("tail"); }), "");
    EXPECT_EQ(captured_stdout([] { EXPECT_EQ(mprint_pull_log(), 0); }), "tail");
    EXPECT_EQ(read_file("mprint.log"), "tail\n\n");
}

// A message that does not fit behind the held text flushes that text first;
// one longer than the whole buffer is cut to 99,999 characters.
TEST_F(MorPrint, OversizedMessagesStayInsideTheBuffer) {
    std::string held;
    const std::string big(5000, 'b');
    EXPECT_EQ(captured_stdout([&] {
                  mprint_push();
                  held = divert_numbered(MPRN_FLUSH_ABOVE);
              }),
              "");
    EXPECT_EQ(captured_stdout([&] { EXPECT_EQ(MorPrintf("%s", big.c_str()), 5000); }), held);
    EXPECT_EQ(mprnP, 5000);
    EXPECT_EQ(captured_stdout([] { mprint_pull(); }), big);

    std::string huge(150000, 'h');
    huge[99998] = 'E';  // last character kept
    EXPECT_EQ(captured_stdout([&] {
                  mprint_push();
                  MorPrintf("abc");
                  EXPECT_EQ(MorPrintf("%s", huge.c_str()), MPRN_BUFFER_SIZE - 1);
              }),
              "abc" + huge.substr(0, MPRN_BUFFER_SIZE - 1));
    EXPECT_EQ(mprnP, 0);
    EXPECT_EQ(mprnD[MPRN_BUFFER_SIZE - 1], '\0');
}

TEST_F(MorPrint, PullLogAppendsTextAndTwoLineFeeds) {
    write_file("mprint.log", "old\n");
    EXPECT_EQ(captured_stdout([] { EXPECT_EQ(mprint_pull_log(), 0); }), "");
    EXPECT_EQ(read_file("mprint.log"), "old\n\n\n");

    EXPECT_EQ(captured_stdout([] {
                  mprint_push();
                  MorPrintf("x=%d\n", 1);
                  MorPrintf("y");
              }),
              "");
    EXPECT_EQ(captured_stdout([] { EXPECT_EQ(mprint_pull_log(), 0); }), "x=1\ny");
    EXPECT_EQ(read_file("mprint.log"), "old\n\n\nx=1\ny\n\n");
}

TEST_F(MorPrint, PullLogStillPrintsWhenTheLogCannotBeOpened) {
    ASSERT_EQ(mkdir("mprint.log", 0755), 0);  // fopen "a" fails, even for root
    EXPECT_EQ(captured_stdout([] {
                  mprint_push();
                  MorPrintf("abc");
                  EXPECT_EQ(mprint_pull_log(), 0);
              }),
              "abc");
    EXPECT_EQ(captured_stdout([] { MorPrintf("now"); }), "now");
}

}  // namespace
