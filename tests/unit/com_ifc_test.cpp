// Sub valve locations and the let-off button command.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "com_ifc.h"
#include "console_capture.h"
#include "mletoff_net.h"

namespace {

constexpr std::array<int16_t, 20> INITIAL = {210, 450, 690, 930, 1170, 1410, 1650};

std::string valve_loc_reply() {
    char out[512];
    std::memset(out, 'x', sizeof out);
    const int length = IFC_get_valve_loc(out);
    EXPECT_EQ(out[length], '\0');
    return std::string(out, static_cast<std::size_t>(length));
}

// The table lives for the whole process: put the initial values back.
class ValveLoc : public ::testing::Test {
protected:
    void TearDown() override {
        for (int i = 0; i < 20; ++i) IFC_set_valve_loc(static_cast<int16_t>(i + 1), INITIAL[i]);
    }
};

}  // namespace

TEST_F(ValveLoc, InitialReply) {
    const std::string reply = valve_loc_reply();
    EXPECT_EQ(reply,
              "sub1:210 sub2:450 sub3:690 sub4:930 sub5:1170 sub6:1410 sub7:1650 sub8:0 "
              "sub9:0 sub10:0 sub11:0 sub12:0 sub13:0 sub14:0 sub15:0 sub16:0 sub17:0 "
              "sub18:0 sub19:0 sub20:0 ");
    EXPECT_EQ(reply.size(), 168u);
}

TEST_F(ValveLoc, SetStoresOnlyNumbersOneToTwenty) {
    IFC_set_valve_loc(20, 500);
    IFC_set_valve_loc(1, -5);
    for (int16_t ignored : {0, 21, -1}) IFC_set_valve_loc(ignored, 777);
    const std::string reply = valve_loc_reply();
    EXPECT_EQ(reply.rfind("sub1:-5 sub2:450 ", 0), 0u) << reply;
    EXPECT_TRUE(reply.ends_with(" sub19:0 sub20:500 ")) << reply;
    EXPECT_EQ(reply.find("777"), std::string::npos) << reply;
}

TEST_F(ValveLoc, WidestReplyIs251Bytes) {
    for (int i = 1; i <= 20; ++i) IFC_set_valve_loc(static_cast<int16_t>(i), -32768);
    EXPECT_EQ(valve_loc_reply().size(), 251u);
}

TEST(LetOff, PrintsPayloadUpToFirstNulWithLineFeed) {
    struct Case {
        std::string payload;
        std::string printed;
    };
    const Case cases[] = {
        {"1", "1\n"},
        {"", "\n"},
        {std::string("ab\0cd", 5), "ab\n"},
        {"on off", "on off\n"},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, 'z', sizeof buffer);
        std::memcpy(buffer, c.payload.data(), c.payload.size());
        const int length = static_cast<int>(c.payload.size());
        ConsoleCapture out(stdout);
        MLETOFF_set_btnstat(buffer, length);
        EXPECT_EQ(out.text(), c.printed) << "payload " << c.payload;
        EXPECT_EQ(buffer[length], '\0') << "terminated in place";
        EXPECT_EQ(buffer[length + 1], 'z');
    }
}
