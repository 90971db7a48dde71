// The command tables and their dispatch.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console_capture.h"
#include "ether_parse.h"
#include "ifc_net.h"
#include "mletoff_net.h"
#include "scratch_dir.h"
#include "tcp9001.h"
#include "vfp_ifc.h"

namespace {

struct GetRow {
    const char* name;
    get_handler handler;
};
struct PutRow {
    const char* name;
    put_handler handler;
};

#define ROW(name) {#name, name}
constexpr GetRow EXPECTED_GET[GET_COMMAND_COUNT] = {
    ROW(IFC_get_select_item), ROW(IFC_get_stat),
    ROW(IFC_get_Tot_Twt_1),   ROW(IFC_get_Tot_Twt_2),   ROW(IFC_get_Tot_Twt_3),
    ROW(IFC_get_Tot_Twt_4),   ROW(IFC_get_Tot_Twt_5),   ROW(IFC_get_Tot_Twt_6),
    ROW(IFC_get_To_Tw_1),     ROW(IFC_get_To_Tw_2),     ROW(IFC_get_To_Tw_3),
    ROW(IFC_get_To_Tw_4),     ROW(IFC_get_To_Tw_5),     ROW(IFC_get_To_Tw_6),
    ROW(IFC_get_histo_ave_1), ROW(IFC_get_histo_ave_2), ROW(IFC_get_histo_ave_3),
    ROW(IFC_get_histo_ave_4), ROW(IFC_get_histo_ave_5), ROW(IFC_get_histo_ave_6),
    ROW(IFC_get_hst_select),  ROW(IFC_get_hist_cntdatL), ROW(IFC_get_hist_cntdatR),
    ROW(IFC_get_on_off_1),    ROW(IFC_get_on_off_2),    ROW(IFC_get_on_off_3),
    ROW(IFC_get_on_off_4),    ROW(IFC_get_on_off_5),    ROW(IFC_get_on_off_6),
};
constexpr PutRow EXPECTED_PUT[PUT_COMMAND_COUNT] = {
    ROW(MLETOFF_set_btnstat), ROW(IFC_set_select_item), ROW(IFC_set_stat),
    ROW(IFC_set_to_tw_1),     ROW(IFC_set_to_tw_2),     ROW(IFC_set_to_tw_3),
    ROW(IFC_set_to_tw_4),     ROW(IFC_set_to_tw_5),     ROW(IFC_set_to_tw_6),
    ROW(IFC_set_on_off_1),    ROW(IFC_set_on_off_2),    ROW(IFC_set_on_off_3),
    ROW(IFC_set_on_off_4),    ROW(IFC_set_on_off_5),    ROW(IFC_set_on_off_6),
    ROW(IFC_hst_select_item), ROW(IFC_hst_clear),       ROW(IFC_hst_set),
};
#undef ROW

// The 21-byte name buffer the loop makes from a header's name field.
std::string field(std::string_view name, char fill = ' ') {
    std::string bytes(name);
    bytes.resize(20, fill);
    return bytes;
}

}  // namespace

TEST(CommandTables, RowsInOrderWithPaddedGetKeys) {
    for (int i = 0; i < GET_COMMAND_COUNT; ++i) {
        SCOPED_TRACE(EXPECTED_GET[i].name);
        EXPECT_EQ(std::string(get_commands[i].name),
                  std::string(EXPECTED_GET[i].name) + std::string(20, ' '));
        EXPECT_EQ(get_commands[i].handler, EXPECTED_GET[i].handler);
        EXPECT_LE(std::strlen(EXPECTED_GET[i].name), 20u);
    }
    EXPECT_EQ(get_commands[GET_COMMAND_COUNT].name, nullptr);
    EXPECT_EQ(get_commands[GET_COMMAND_COUNT].handler, nullptr);

    for (int i = 0; i < PUT_COMMAND_COUNT; ++i) {
        SCOPED_TRACE(EXPECTED_PUT[i].name);
        EXPECT_STREQ(put_commands[i].name, EXPECTED_PUT[i].name);
        EXPECT_EQ(put_commands[i].handler, EXPECTED_PUT[i].handler);
        EXPECT_LT(std::strlen(EXPECTED_PUT[i].name), 20u);
    }
    EXPECT_EQ(put_commands[PUT_COMMAND_COUNT].name, nullptr);
    EXPECT_EQ(put_commands[PUT_COMMAND_COUNT].handler, nullptr);
}

// Handlers read the settings files: work in a scratch directory.
using GetDispatch = ScratchDir;

TEST_F(GetDispatch, SpacePaddedNameCallsItsHandler) {
    // Handlers whose reply depends on the settings only, so that a direct
    // call gives the same bytes.
    const GetRow rows[] = {EXPECTED_GET[0], EXPECTED_GET[1], EXPECTED_GET[2], EXPECTED_GET[23]};
    static char direct[TCP9001_MAX_BODY + 1];
    static char dispatched[TCP9001_MAX_BODY + 1];
    for (const GetRow& row : rows) {
        SCOPED_TRACE(row.name);
        const int direct_length = row.handler(direct);
        const int length = ether_get_data(field(row.name).c_str(), dispatched);
        ASSERT_EQ(length, direct_length);
        if (length > 0) {
            EXPECT_EQ(std::string(dispatched, static_cast<std::size_t>(length)),
                      std::string(direct, static_cast<std::size_t>(length)));
        }
    }
}

TEST_F(GetDispatch, NamesThatMatchNoRow) {
    const std::string cases[] = {
        field("IFC_get_stat", '\0'),  // NUL padding
        field("IFC_get_stat\t"),
        field("ifc_get_stat"),
        field("IFC_GET_STAT"),
        field("IFC_get_sta"),
        field("IFC_get_stat2"),
        field(""),
        field("", '\0'),
        field("IFC_get_hist_cntdat"),
        field("IFC_get_on_off_7"),
    };
    for (const std::string& name : cases) {
        char out[16];
        std::memset(out, 'z', sizeof out);
        EXPECT_EQ(ether_get_data(name.c_str(), out), -1) << name;
        EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, 'z')) << "written";
    }
}

TEST(PutDispatch, SplitsAtFirstNulAndHandsOverTheWholePayload) {
    struct Case {
        std::string body;
        std::string console;
        int terminated_at;  // where the let-off handler writes its NUL, or -1
    };
    const Case cases[] = {
        {std::string("MLETOFF_set_btnstat\0" "ab\0cd", 25), "ab\n", 25},
        {std::string("MLETOFF_set_btnstat\0", 20), "\n", 20},
        {std::string("MLETOFF_set_btnstat\0\0", 21), "\n", 21},
        {std::string("\0MLETOFF_set_btnstat\0" "1", 22), "not found\n", -1},
        {std::string("MLETOFF_set_btnstatX\0" "1", 22), "not found\n", -1},
        {std::string("MLETOFF_set_btnstat"), "COMMAND END not found\n", -1},
        {std::string("x"), "COMMAND END not found\n", -1},
    };
    for (const Case& c : cases) {
        char body[64];
        std::memset(body, 'z', sizeof body);
        std::memcpy(body, c.body.data(), c.body.size());
        ConsoleCapture out(stdout);
        ether_put_data(body, static_cast<int>(c.body.size()));
        EXPECT_EQ(out.text(), c.console) << c.body;
        for (int i = static_cast<int>(c.body.size()); i < 30; ++i) {
            EXPECT_EQ(body[i], i == c.terminated_at ? '\0' : 'z') << c.body << " byte " << i;
        }
    }
}
