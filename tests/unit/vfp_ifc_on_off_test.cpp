// The valve on/off timing commands, called through the command tables:
// the replies byte for byte and their effect on the bytes of "valve_fp.set".
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ether_parse.h"
#include "scratch_dir.h"
#include "tcp9001.h"
#include "valve_default_reply.h"
#include "vfp_ifc.h"

namespace {

constexpr const char* FILE_NAME = "valve_fp.set";
constexpr std::size_t FILE_SIZE = 8960;

// Record numbers in the valve table of the records these tests look at.
enum Record : int {
    PIN_OPEN = 0, ABS_ON = 3, ABS_OFF = 4, MAIN_ON = 7, MAIN_OFF = 8,
    SUB18_OFF = 50, SUB19_ON = 51,
};

// Colour c of record n is the little-endian int at 80n + 36 + 4(c - 1).
std::size_t value_at(int record, int colour) { return 80u * record + 36 + 4 * (colour - 1); }
std::size_t type_at(int record) { return 80u * record; }

int32_t get32(const std::string& bytes, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return static_cast<int32_t>(v);
}
void put32(std::string& bytes, std::size_t at, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(v >> (8 * i));
}

// The GET reply of `IFC_get_on_off_<colour>`, found by its padded name.
std::string get_on_off(int colour) {
    char name[21];
    std::snprintf(name, sizeof name, "IFC_get_on_off_%d    ", colour);
    const int n = ether_get_data(name, ether_tcpc_data);
    EXPECT_GE(n, 0);
    return n < 0 ? std::string() : std::string(ether_tcpc_data, static_cast<std::size_t>(n));
}

// A PUT body "IFC_set_on_off_<colour>", NUL, payload, dispatched like the
// loop does: in the transfer buffer, the byte behind it writable.
void set_on_off(int colour, const std::string& payload) {
    const int name_len = std::snprintf(ether_tcpc_data, 32, "IFC_set_on_off_%d", colour);
    std::memcpy(ether_tcpc_data + name_len + 1, payload.data(), payload.size());
    ether_put_data(ether_tcpc_data, name_len + 1 + static_cast<int>(payload.size()));
}

class ValveOnOff : public ScratchDir {
protected:
    // The default image, as the store creates it on first use.
    std::string defaults() {
        int ignored = 0;
        VfpRead("VAL_main_on", &ignored, 1);
        std::string bytes = read_file(FILE_NAME);
        EXPECT_EQ(bytes.size(), FILE_SIZE);
        return bytes;
    }
};

}  // namespace

TEST_F(ValveOnOff, EveryColourListsTheDefaultsIn554Bytes) {
    ASSERT_EQ(VALVE_DEFAULT_REPLY.size(), 554u);
    for (int colour = 1; colour <= 6; ++colour) {
        const std::string reply = get_on_off(colour);
        EXPECT_EQ(reply, VALVE_DEFAULT_REPLY) << "colour " << colour;
        EXPECT_EQ(reply.rfind("ATC_TO_DELAY:0 pin_on:70 abs_on:215 abs_off:255 main_on:90 main_off:160 ", 0), 0u);
        EXPECT_TRUE(reply.ends_with(" sub18_on:0 sub18_off:0 "));
    }
    EXPECT_EQ(read_file(FILE_NAME).size(), FILE_SIZE);  // created by the first read
}

// Each wrapper reads and writes its own colour: give every colour of every
// record a distinct value and look at what each command sees and changes.
TEST_F(ValveOnOff, EachCommandUsesItsOwnColour) {
    std::string image = defaults();
    for (int colour = 1; colour <= 6; ++colour) put32(image, value_at(MAIN_OFF, colour), 1000 + colour);
    write_file(FILE_NAME, image);
    for (int colour = 1; colour <= 6; ++colour) {
        const std::string reply = get_on_off(colour);
        EXPECT_NE(reply.find(" main_off:" + std::to_string(1000 + colour) + " "), std::string::npos)
            << "colour " << colour;
    }
    for (int colour = 1; colour <= 6; ++colour) {
        set_on_off(colour, "abs_on:" + std::to_string(2000 + colour));
        put32(image, value_at(ABS_ON, colour), 2000 + colour);
        EXPECT_EQ(read_file(FILE_NAME), image) << "after colour " << colour;
    }
}

TEST_F(ValveOnOff, AChangeOnOneColourLeavesTheOthersAlone) {
    const std::string before = defaults();
    set_on_off(2, "main_on:120 main_off:200");
    std::string expected = before;
    put32(expected, value_at(MAIN_ON, 2), 120);
    put32(expected, value_at(MAIN_OFF, 2), 200);
    EXPECT_EQ(read_file(FILE_NAME), expected);

    std::string reply2 = VALVE_DEFAULT_REPLY;
    reply2.replace(reply2.find("main_on:90 main_off:160 "), 24, "main_on:120 main_off:200 ");
    EXPECT_EQ(get_on_off(2), reply2);
    for (int colour : {1, 3, 4, 5, 6}) EXPECT_EQ(get_on_off(colour), VALVE_DEFAULT_REPLY) << colour;
}

// Payloads for colour 1 and the values they leave in the file; every other
// byte must stay as in the defaults.
TEST_F(ValveOnOff, StoresEachRecognisedItemInPayloadOrder) {
    struct Change {
        int record;
        int32_t value;
    };
    struct Case {
        std::string payload;
        std::vector<Change> changes;
    };
    const Case cases[] = {
        {"pin_on:30", {{PIN_OPEN, 30}}},
        {"main_on:5 main_on:7", {{MAIN_ON, 7}}},
        {"main_on:", {{MAIN_ON, 0}}},
        {"main_on:400", {{MAIN_ON, 400}}},
        {"main_on:12abc main_off:x", {{MAIN_ON, 12}, {MAIN_OFF, 0}}},
        {"main_on:+8 main_off:-3 abs_on:\t7", {{MAIN_ON, 8}, {MAIN_OFF, -3}, {ABS_ON, 7}}},
        // Line feeds do not separate: one token, its value "5\nmain_off:7".
        {"main_on:5\nmain_off:7", {{MAIN_ON, 5}}},
        // Keys not in the map are skipped, and so is a token without a colon;
        // neither ends the list.
        {"sub19_on:10 main_on:1 VAL_main_off:2 MAIN_OFF:3 ATC_TO_DELAY:4 abs_off sub18_off:5",
         {{MAIN_ON, 1}, {SUB18_OFF, 5}}},
        // Out of int range: saturated.
        {"main_on:2147483648 main_off:-2147483649", {{MAIN_ON, INT_MAX}, {MAIN_OFF, INT_MIN}}},
        {"main_on:99999999999999999999999 main_off:2147483647", {{MAIN_ON, INT_MAX}, {MAIN_OFF, INT_MAX}}},
        // A token that begins with a colon ends the list.
        {"main_on:10 :5 main_off:10", {{MAIN_ON, 10}}},
    };
    const std::string base = defaults();
    for (const Case& c : cases) {
        write_file(FILE_NAME, base);
        set_on_off(1, c.payload);
        std::string expected = base;
        for (const Change& change : c.changes) put32(expected, value_at(change.record, 1), change.value);
        const std::string after = read_file(FILE_NAME);
        EXPECT_EQ(after, expected) << "payload \"" << c.payload << "\"";
        for (const Change& change : c.changes) {
            EXPECT_EQ(get32(after, value_at(change.record, 1)), change.value) << c.payload;
        }
    }
}

TEST_F(ValveOnOff, AValueOutsideTheBoundsIsStoredAndShown) {
    set_on_off(3, "main_on:400");
    std::string expected = VALVE_DEFAULT_REPLY;
    expected.replace(expected.find("main_on:90 "), 11, "main_on:400 ");
    EXPECT_EQ(get_on_off(3), expected);
}

// These payloads store nothing, so the file must be neither created nor
// rewritten.
TEST_F(ValveOnOff, APayloadThatStoresNothingTouchesNoFile) {
    const std::string payloads[] = {"", " ", "     ", ":5 main_on:10", "sub19_on:10",
                                    "VAL_main_on:5 nocolon"};
    for (const std::string& payload : payloads) {
        set_on_off(4, payload);
        EXPECT_FALSE(std::filesystem::exists(FILE_NAME)) << "payload \"" << payload << "\"";
    }

    // With the file present: an old modification time that any rewrite would
    // replace, and the same inode.
    const std::string image = defaults();
    const timespec old_times[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, FILE_NAME, old_times, 0), 0);
    struct stat before {};
    ASSERT_EQ(stat(FILE_NAME, &before), 0);
    for (const std::string& payload : payloads) {
        set_on_off(4, payload);
        struct stat after {};
        ASSERT_EQ(stat(FILE_NAME, &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << payload;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << "payload \"" << payload << "\"";
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << payload;
    }
    EXPECT_EQ(read_file(FILE_NAME), image);
}

// A record that cannot be read (refused type, or a name not in the table) is
// listed with 0, never with the value of the key before it.
TEST_F(ValveOnOff, AnUnreadableRecordIsListedAsZero) {
    std::string image = defaults();
    put32(image, type_at(PIN_OPEN), 6);   // the first key: nothing before it
    put32(image, type_at(ABS_OFF), -1);   // after abs_on:215
    image.at(80 * MAIN_OFF + 4 + 11) = 'X';  // "VAL_main_offX": no such record
    write_file(FILE_NAME, image);
    std::string expected = VALVE_DEFAULT_REPLY;
    expected.replace(expected.find("pin_on:70 "), 10, "pin_on:0 ");
    expected.replace(expected.find("abs_off:255 "), 12, "abs_off:0 ");
    expected.replace(expected.find("main_off:160 "), 13, "main_off:0 ");
    EXPECT_EQ(get_on_off(5), expected);
}
