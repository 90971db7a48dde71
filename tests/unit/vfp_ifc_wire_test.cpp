// The valve on/off timing commands over loopback, through the real
// connection loop in a child process: replies and files byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "loop_server.h"
#include "valve_default_reply.h"

namespace {

constexpr std::size_t MAIN_ON_COLOUR_1 = 80 * 7 + 36;  // record 7, colour 1
constexpr std::size_t MAIN_OFF_COLOUR_1 = 80 * 8 + 36;

int32_t get32(const std::string& bytes, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return static_cast<int32_t>(v);
}

using ValveWire = LoopServerTest;

}  // namespace

// The exact wire bytes: the 13-byte length header, then the whole reply in
// one chunk after "NEXT".
TEST_F(ValveWire, EachColourAnswersTheDefaultListOnTheWire) {
    ifc::Connection c = server_.connect();
    for (int colour = 1; colour <= 6; ++colour) {
        const std::string name = "IFC_get_on_off_" + std::to_string(colour) + "    ";
        ASSERT_EQ(ifc::send_raw(c, ifc::header("GET", name)), ifc::Result::ok);
        std::string bytes;
        ASSERT_EQ(ifc::recv_exact(c, 13, bytes), ifc::Result::ok);
        EXPECT_EQ(bytes, "LEN0000000554") << colour;
        ASSERT_EQ(ifc::send_raw(c, "NEXT"), ifc::Result::ok);
        ASSERT_EQ(ifc::recv_exact(c, 554, bytes), ifc::Result::ok);
        EXPECT_EQ(bytes, VALVE_DEFAULT_REPLY) << colour;
    }
    EXPECT_EQ(read_file("valve_fp.set").size(), 8960u);
}

TEST_F(ValveWire, AChangeIsReadBackAndOutlivesARestart) {
    {
        ifc::Connection c = server_.connect();
        ASSERT_EQ(ifc::put(c, "IFC_set_on_off_2", "main_on:120 main_off:200"), ifc::Result::ok);
        std::string reply;
        ASSERT_EQ(ifc::get(c, "IFC_get_on_off_2", reply), ifc::Result::ok);
        std::string expected = VALVE_DEFAULT_REPLY;
        expected.replace(expected.find("main_on:90 main_off:160 "), 24, "main_on:120 main_off:200 ");
        EXPECT_EQ(reply, expected);
        ASSERT_EQ(ifc::get(c, "IFC_get_on_off_1", reply), ifc::Result::ok);
        EXPECT_EQ(reply, VALVE_DEFAULT_REPLY);
    }
    server_.stop();
    ASSERT_TRUE(server_.start(dir_));
    ifc::Connection c = server_.connect();
    std::string reply;
    ASSERT_EQ(ifc::get(c, "IFC_get_on_off_2", reply), ifc::Result::ok);
    EXPECT_NE(reply.find(" main_on:120 main_off:200 "), std::string::npos);
}

// A list longer than one chunk: only its first 500 items are parsed.
TEST_F(ValveWire, AListOfManyChunksKeepsItsFirst500Items) {
    std::string payload = "main_on:5 ";
    for (int i = 0; i < 498; ++i) payload += "sub19_on:10 ";  // parsed, then ignored
    payload += "main_off:7 ";  // the 500th item
    payload += "main_on:1000 main_off:1000";  // items 501 and 502: dropped
    ASSERT_GT(payload.size(), 4u * 1024);
    ifc::Connection c = server_.connect();
    ASSERT_EQ(ifc::put(c, "IFC_set_on_off_1", payload), ifc::Result::ok);
    std::string reply;
    ASSERT_EQ(ifc::get(c, "IFC_get_on_off_1", reply), ifc::Result::ok);  // after the PUT
    const std::string file = read_file("valve_fp.set");
    EXPECT_EQ(get32(file, MAIN_ON_COLOUR_1), 5);
    EXPECT_EQ(get32(file, MAIN_OFF_COLOUR_1), 7);
}

// A body of the largest size: the payload ends at the last byte of the
// transfer buffer and is terminated behind it.
TEST_F(ValveWire, AFullSizeBodyIsParsedToItsLastByte) {
    const std::string name = "IFC_set_on_off_1";
    const std::string item = "main_on:77";
    std::string payload(256000 - name.size() - 1 - item.size(), ' ');
    payload += item;
    ifc::Connection c = server_.connect();
    ASSERT_EQ(ifc::put(c, name, payload), ifc::Result::ok);
    std::string reply;
    ASSERT_EQ(ifc::get(c, "IFC_get_on_off_1", reply), ifc::Result::ok);
    EXPECT_NE(reply.find(" main_on:77 "), std::string::npos);
}
