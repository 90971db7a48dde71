// The connection loop in a child process: the harness itself works.
#include <gtest/gtest.h>

#include "loop_server.h"

using LoopSmoke = LoopServerTest;

TEST_F(LoopSmoke, UnknownGetAnswersMinusOneAndCloses) {
    ifc::Connection c = server_.connect();
    std::string reply;
    EXPECT_EQ(ifc::get(c, "NO_SUCH_NAME", reply), ifc::Result::unknown_command);
    EXPECT_FALSE(c.is_open());
}
