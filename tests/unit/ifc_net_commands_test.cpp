// The interface data commands of ifc_net, called in process on a scratch
// working directory: selection switches, status, targets, simulated
// measurements and the histogram selection and requests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console_capture.h"
#include "ether_parse.h"
#include "ifc_net.h"
#include "scratch_dir.h"
#include "tcp9001.h"

namespace {

// Records of "ifc_set.set" by position: record n starts at byte 80n.
enum record { TOT, TWT, STAT_1, STAT_2, V, S1, S2, S3, S4 };

std::size_t value_offset(int rec, int colour) { return 80 * rec + 36 + 4 * (colour - 1); }

// Settings values are little-endian in the file.
void set_value(std::string& image, int rec, int colour, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) image[value_offset(rec, colour) + i] = static_cast<char>(u >> (8 * i));
}

std::string get(get_handler handler) {
    const int n = handler(ether_tcpc_data);
    return n < 0 ? "<" + std::to_string(n) + ">" : std::string(ether_tcpc_data, n);
}

// The payload sits in a buffer with exactly one writable byte behind it.
void put(put_handler handler, std::string_view payload) {
    std::vector<char> buffer(payload.begin(), payload.end());
    buffer.push_back('#');
    handler(buffer.data(), static_cast<int>(payload.size()));
}

const std::string SELECT_ALL_ZERO =
    "pin:0 abs:0 main:0 tandem:0 stretch:0 sub1:0 sub2:0 sub3:0 sub4:0 sub5:0 sub6:0 "
    "sub7:0 sub8:0 sub9:0 sub10:0 sub11:0 sub12:0 sub13:0 sub14:0 sub15:0 sub16:0 "
    "sub17:0 sub18:0 sub19:0 sub20:0 ";
const std::string HISTO_LEFT =
    "234 500 4.65 190 500 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "
    "10 30 50 120 160 210 250 280 290 300 290 280 250 210 160 120 50 30 10 "
    "0 0 0 0 0 0 0 0 0 0 0 0 0";
const std::string HISTO_RIGHT =
    "234 500 4.52 190 500 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "
    "10 30 50 120 160 210 250 280 290 300 290 280 250 210 160 120 50 30 10 "
    "0 0 0 0 0 0 0 0 0 0 0 0 0";

// The select reply of the defaults with switch `name` at `value`.
std::string select_reply(const std::string& name, int value) {
    std::string padded = " " + SELECT_ALL_ZERO;
    const std::string item = " " + name + ":0 ";
    padded.replace(padded.find(item), item.size(), " " + name + ":" + std::to_string(value) + " ");
    return padded.substr(1);
}

// `text` filled with spaces to `length` bytes.
std::string padded(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
}

class IfcCommands : public ScratchDir {
protected:
    // The default settings file, as the first access creates it.
    std::string fresh_file() {
        std::filesystem::remove(IFC_SET_FILE);
        get(IFC_get_stat);
        std::string image = read_file(IFC_SET_FILE);
        EXPECT_EQ(image.size(), 800u);
        return image;
    }
};

}  // namespace

TEST_F(IfcCommands, RepliesFromFreshDefaults) {
    struct reply_case {
        const char* command;
        get_handler handler;
        std::string reply;
    };
    const std::string target = "to:90 tw:240 ";
    const std::string hist_ave_1 = "to:92 tb1:128 tb2:164 tb3:190 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:224 tw:242 ";
    const std::string hist_ave_2 = "to:92 tb1:130 tb2:166 tb3:194 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:228 tw:252 ";
    const reply_case cases[] = {
        {"IFC_get_select_item", IFC_get_select_item, SELECT_ALL_ZERO},
        {"IFC_get_stat", IFC_get_stat, "color:1 mode:0 totw_sw:0 "},
        {"IFC_get_Tot_Twt_1", IFC_get_Tot_Twt_1, target},
        {"IFC_get_Tot_Twt_2", IFC_get_Tot_Twt_2, target},
        {"IFC_get_Tot_Twt_3", IFC_get_Tot_Twt_3, target},
        {"IFC_get_Tot_Twt_4", IFC_get_Tot_Twt_4, target},
        {"IFC_get_Tot_Twt_5", IFC_get_Tot_Twt_5, target},
        {"IFC_get_Tot_Twt_6", IFC_get_Tot_Twt_6, target},
        {"IFC_get_To_Tw_1", IFC_get_To_Tw_1, "to:92 tw:242 "},
        {"IFC_get_To_Tw_2", IFC_get_To_Tw_2, "to:92 tw:252 "},
        {"IFC_get_To_Tw_3", IFC_get_To_Tw_3, "to:92 tw:242 "},
        {"IFC_get_To_Tw_4", IFC_get_To_Tw_4, "to:92 tw:242 "},
        {"IFC_get_To_Tw_5", IFC_get_To_Tw_5, "to:92 tw:242 "},
        {"IFC_get_To_Tw_6", IFC_get_To_Tw_6, "to:92 tw:242 "},
        {"IFC_get_histo_ave_1", IFC_get_histo_ave_1, hist_ave_1},
        {"IFC_get_histo_ave_2", IFC_get_histo_ave_2, hist_ave_2},
        {"IFC_get_hst_select", IFC_get_hst_select, "1 tw 2 tw"},
        {"IFC_get_hist_cntdatL", IFC_get_hist_cntdatL, HISTO_LEFT},
        {"IFC_get_hist_cntdatR", IFC_get_hist_cntdatR, HISTO_RIGHT},
    };
    for (const reply_case& c : cases) {
        std::filesystem::remove(IFC_SET_FILE);
        EXPECT_EQ(get(c.handler), c.reply) << c.command;
    }
    EXPECT_EQ(SELECT_ALL_ZERO.size(), 189u);
    EXPECT_EQ(hist_ave_1.size(), 75u);
    EXPECT_EQ(HISTO_LEFT.size(), 144u);
}

TEST_F(IfcCommands, RandomTbwInRangeAndSteadyWithinOneSecond) {
    const get_handler hist_ave[] = {IFC_get_histo_ave_3, IFC_get_histo_ave_4, IFC_get_histo_ave_5,
                                    IFC_get_histo_ave_6};
    const std::string head = "to:92 tb1:0 tb2:0 tb3:0 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:";
    for (get_handler handler : hist_ave) {
        for (;;) {
            const std::time_t before = std::time(nullptr);
            const std::string first = get(handler);
            const std::string second = get(handler);
            if (std::time(nullptr) != before) continue;  // a second boundary: try again
            EXPECT_EQ(first, second);
            ASSERT_EQ(first.substr(0, head.size()), head);
            ASSERT_EQ(first.substr(first.size() - 8), " tw:242 ");
            const std::string tbw = first.substr(head.size(), first.size() - head.size() - 8);
            ASSERT_FALSE(tbw.empty());
            ASSERT_EQ(tbw.find_first_not_of("0123456789"), std::string::npos) << tbw;
            EXPECT_LE(std::stoi(tbw), 359);
            break;
        }
    }
}

TEST_F(IfcCommands, EachSwitchHasItsRecordAndColumn) {
    struct switch_case {
        const char* name;
        int rec;
        int colour;
    };
    const switch_case map[] = {
        {"pin", V, 2},       {"abs", V, 3},       {"main", V, 4},      {"tandem", V, 5},
        {"stretch", V, 6},   {"sub1", S1, 1},     {"sub2", S1, 2},     {"sub3", S1, 3},
        {"sub4", S1, 4},     {"sub5", S1, 5},     {"sub6", S1, 6},     {"sub7", S2, 1},
        {"sub8", S2, 2},     {"sub9", S2, 3},     {"sub10", S2, 4},    {"sub11", S2, 5},
        {"sub12", S2, 6},    {"sub13", S3, 1},    {"sub14", S3, 2},    {"sub15", S3, 3},
        {"sub16", S3, 4},    {"sub17", S3, 5},    {"sub18", S3, 6},    {"sub19", S4, 1},
        {"sub20", S4, 2},
    };
    const std::string fresh = fresh_file();
    for (const switch_case& c : map) {
        write_file(IFC_SET_FILE, fresh);
        put(IFC_set_select_item, std::string(c.name) + ":7");
        std::string expected = fresh;
        set_value(expected, c.rec, c.colour, 7);
        EXPECT_EQ(read_file(IFC_SET_FILE), expected) << c.name;

        // Reported back as stored, under its own name and nowhere else.
        EXPECT_EQ(get(IFC_get_select_item), select_reply(c.name, 7)) << c.name;
    }
}

TEST_F(IfcCommands, AllClearsEverySwitchAndNothingElse) {
    std::string set = fresh_file();
    for (int rec : {V, S1, S2, S3, S4})
        for (int colour = 1; colour <= 6; ++colour) set_value(set, rec, colour, 5);
    std::string expected = set;
    for (int colour = 2; colour <= 6; ++colour) set_value(expected, V, colour, 0);
    for (int rec : {S1, S2, S3})
        for (int colour = 1; colour <= 6; ++colour) set_value(expected, rec, colour, 0);
    set_value(expected, S4, 1, 0);
    set_value(expected, S4, 2, 0);
    // V column 1 and S4 columns 3 to 6 belong to no switch and keep their 5.
    for (const char* payload : {"all:1", "all:0", "all:-9", "all:1:2"}) {
        write_file(IFC_SET_FILE, set);
        put(IFC_set_select_item, payload);
        EXPECT_EQ(read_file(IFC_SET_FILE), expected) << payload;
    }
}

TEST_F(IfcCommands, PayloadsThatStoreNothing) {
    struct ignored_case {
        put_handler handler;
        std::string payload;
    };
    using namespace std::string_literals;
    const ignored_case cases[] = {
        // Too few colons.
        {IFC_set_select_item, ""},
        {IFC_set_select_item, "pin 1"},
        {IFC_set_stat, ""},
        {IFC_set_stat, "color:2 mode:1"},
        {IFC_set_stat, "color 2 mode 1 totw_sw 0"},
        {IFC_set_to_tw_1, ""},
        {IFC_set_to_tw_1, "to:5"},
        {IFC_set_to_tw_1, "to:5 tw 6"},
        // Names are whole and case-sensitive.
        {IFC_set_select_item, "Pin:1"},
        {IFC_set_select_item, "PIN:1"},
        {IFC_set_select_item, "sub21:1"},
        {IFC_set_select_item, "sub0:1"},
        {IFC_set_select_item, "sub1x:1"},
        {IFC_set_select_item, "su:1"},
        {IFC_set_select_item, "stretchy:1"},
        {IFC_set_select_item, "stretchstretch:1"},
        {IFC_set_select_item, "ALL:1"},
        {IFC_set_select_item, "al:1"},
        {IFC_set_stat, "Color:2 mode:1 totw_sw:1"},
        {IFC_set_stat, "colour:2 mode:1 totw_sw:1"},
        {IFC_set_stat, "color:2 totw_sw:1 mode:1"},
        {IFC_set_stat, " color:2 mode:1 totw_sw:1"},
        {IFC_set_to_tw_1, "tw:5 to:6"},
        {IFC_set_to_tw_1, "TO:5 TW:6"},
        // Numbers that do not convert, or do not fit an int.
        {IFC_set_select_item, "pin:"},
        {IFC_set_select_item, "pin:x"},
        {IFC_set_select_item, "pin:-"},
        {IFC_set_select_item, "pin:2147483648"},
        {IFC_set_select_item, "pin:-2147483649"},
        {IFC_set_select_item, "pin:99999999999999999999999"},
        {IFC_set_select_item, "pin\0:1"s},
        {IFC_set_stat, "color:1 mode:x totw_sw:3"},
        {IFC_set_stat, "color:1 mode:2 totw_sw:"},
        {IFC_set_to_tw_1, "to:5 tw:"},
        {IFC_set_to_tw_1, "to:4294967296 tw:6"},
    };
    const std::string fresh = fresh_file();
    for (const ignored_case& c : cases) {
        write_file(IFC_SET_FILE, fresh);
        put(c.handler, c.payload);
        EXPECT_EQ(read_file(IFC_SET_FILE), fresh) << '"' << c.payload << '"';
    }
}

TEST_F(IfcCommands, ValuesStoredAsSentAndReported) {
    struct stored_case {
        put_handler handler;
        const char* payload;
        get_handler reader;
        std::string reply;
    };
    const std::string sub10 = select_reply("sub10", 7);
    const std::string pin_min = select_reply("pin", INT32_MIN);
    const std::string pin_max = select_reply("pin", INT32_MAX);
    const stored_case cases[] = {
        {IFC_set_select_item, "sub10:7", IFC_get_select_item, sub10},
        {IFC_set_select_item, " sub10 : +7 ", IFC_get_select_item, sub10},
        {IFC_set_select_item, "sub10:7:8", IFC_get_select_item, sub10},
        {IFC_set_select_item, "pin:-2147483648", IFC_get_select_item, pin_min},
        {IFC_set_select_item, "pin:2147483647x", IFC_get_select_item, pin_max},
        {IFC_set_stat, "color:2 mode:1 totw_sw:1", IFC_get_stat, "color:2 mode:1 totw_sw:1 "},
        {IFC_set_stat, "color:9 mode:-3 totw_sw:400", IFC_get_stat, "color:9 mode:-3 totw_sw:400 "},
        {IFC_set_stat, "color:1mode:2totw_sw:3:", IFC_get_stat, "color:1 mode:2 totw_sw:3 "},
        {IFC_set_to_tw_3, "to:200 tw:100", IFC_get_Tot_Twt_3, "to:200 tw:100 "},
        {IFC_set_to_tw_3, "to:-1 tw:0 rest", IFC_get_Tot_Twt_3, "to:-1 tw:0 "},
    };
    const std::string fresh = fresh_file();
    for (const stored_case& c : cases) {
        write_file(IFC_SET_FILE, fresh);
        put(c.handler, c.payload);
        EXPECT_EQ(get(c.reader), c.reply) << c.payload;
    }
}

TEST_F(IfcCommands, TargetsOfOneColourOnly) {
    const put_handler set[] = {IFC_set_to_tw_1, IFC_set_to_tw_2, IFC_set_to_tw_3,
                               IFC_set_to_tw_4, IFC_set_to_tw_5, IFC_set_to_tw_6};
    const get_handler read[] = {IFC_get_Tot_Twt_1, IFC_get_Tot_Twt_2, IFC_get_Tot_Twt_3,
                                IFC_get_Tot_Twt_4, IFC_get_Tot_Twt_5, IFC_get_Tot_Twt_6};
    const std::string fresh = fresh_file();
    for (int n = 1; n <= 6; ++n) {
        write_file(IFC_SET_FILE, fresh);
        put(set[n - 1], "to:1" + std::to_string(n) + " tw:2" + std::to_string(n));
        std::string expected = fresh;
        set_value(expected, TOT, n, 10 + n);
        set_value(expected, TWT, n, 20 + n);
        EXPECT_EQ(read_file(IFC_SET_FILE), expected) << "colour " << n;
        for (int m = 1; m <= 6; ++m) {
            const std::string reply = m == n ? "to:1" + std::to_string(n) + " tw:2" + std::to_string(n) + " "
                                             : "to:90 tw:240 ";
            EXPECT_EQ(get(read[m - 1]), reply) << "set " << n << ", read " << m;
        }
    }
}

TEST_F(IfcCommands, HistogramSelection) {
    struct select_case {
        std::string payload;
        std::string reply;
    };
    const select_case cases[] = {
        {"LEFT 3 tb2", "3 tb2 2 tw"},
        {"left 3 tb2", "1 tw 3 tb2"},
        {"RIGHT 7 tw_tbw", "1 tw 2 tw_tbw"},
        {"LEFT 4 xyz", "4 tw 2 tw"},
        {"LEFT 0 tb1", "1 tb1 2 tw"},
        {"LEFT -1 tb8", "1 tb8 2 tw"},
        {"x 6 to", "1 tw 6 to"},
        {"LEFT 6 TW", "6 tw 2 tw"},
        {"LEFT 5 tw_tbwx", "5 tw 2 tw"},
        {"LEFTOVER 5 tb8", "1 tw 5 tb8"},
        {padded("LEFT 3 tb2", 15), "3 tb2 2 tw"},  // the longest accepted
        {padded("LEFT 3 tb2", 16), "1 tw 2 tw"},   // ignored whole
        {"LEFT 3", "1 tw 2 tw"},              // no key: nothing stored
        {"LEFT x tb2", "1 tw 2 tw"},          // colour does not convert
        {"R 9999999999 to", "1 tw 2 tw"},     // colour does not fit an int
        {"", "1 tw 2 tw"},
    };
    const std::string fresh = fresh_file();
    for (const select_case& c : cases) {
        write_file(IFC_SET_FILE, fresh);
        put(IFC_hst_select_item, c.payload);
        EXPECT_EQ(get(IFC_get_hst_select), c.reply) << '"' << c.payload << '"';
    }

    // Stored in STAT_2: left item, left colour, right item, right colour.
    write_file(IFC_SET_FILE, fresh);
    put(IFC_hst_select_item, "LEFT 3 tb2");
    put(IFC_hst_select_item, "RIGHT 5 tw_tbw");
    std::string expected = fresh;
    set_value(expected, STAT_2, 1, 2);
    set_value(expected, STAT_2, 2, 3);
    set_value(expected, STAT_2, 3, 11);
    set_value(expected, STAT_2, 4, 5);
    EXPECT_EQ(read_file(IFC_SET_FILE), expected);
    EXPECT_EQ(get(IFC_get_hst_select), "3 tb2 5 tw_tbw");

    // The histogram data depend on the side alone.
    EXPECT_EQ(get(IFC_get_hist_cntdatL), HISTO_LEFT);
    EXPECT_EQ(get(IFC_get_hist_cntdatR), HISTO_RIGHT);
}

TEST_F(IfcCommands, HistogramRequestsPrintTheirLine) {
    struct print_case {
        put_handler handler;
        std::string payload;
        std::string line;
    };
    const print_case cases[] = {
        {IFC_hst_clear, "2 tbw", "clear_histo: color=2, item_no=9\n"},
        {IFC_hst_clear, padded("2 tbw", 10), "clear_histo: color=2, item_no=9\n"},
        {IFC_hst_clear, padded("2 tbw", 11), ""},
        {IFC_hst_clear, "-5 tw_tbw", "clear_histo: color=-5, item_no=11\n"},
        {IFC_hst_clear, "0 to", "clear_histo: color=0, item_no=0\n"},
        {IFC_hst_clear, "2 xyz", ""},
        {IFC_hst_clear, "2 TBW", ""},
        {IFC_hst_clear, "2 tw_tbwxx", ""},
        {IFC_hst_clear, "x tbw", ""},
        {IFC_hst_clear, "2", ""},
        {IFC_hst_clear, "", ""},
        {IFC_hst_set, "1 tb1 5 2 zz 6 100", "set_histo(L c=1, i=1, t=5, R c=2, i=0, t=6, samp=100)\n"},
        {IFC_hst_set, "1 tw 5 2 tw_tbw 6 100", "set_histo(L c=1, i=10, t=5, R c=2, i=11, t=6, samp=100)\n"},
        {IFC_hst_set, padded("-1 tb8 -2 9 tbw -3 -4", 32),
         "set_histo(L c=-1, i=8, t=-2, R c=9, i=9, t=-3, samp=-4)\n"},
        {IFC_hst_set, padded("-1 tb8 -2 9 tbw -3 -4", 33), ""},
        // Fields that do not convert stay 0.
        {IFC_hst_set, "1 tb1 5", "set_histo(L c=1, i=1, t=5, R c=0, i=0, t=0, samp=0)\n"},
        {IFC_hst_set, "", "set_histo(L c=0, i=0, t=0, R c=0, i=0, t=0, samp=0)\n"},
    };
    for (const print_case& c : cases) {
        ConsoleCapture out(stdout);
        put(c.handler, c.payload);
        EXPECT_EQ(out.text(), c.line) << '"' << c.payload << '"';
    }
    EXPECT_FALSE(std::filesystem::exists(IFC_SET_FILE));  // nothing is stored
}

TEST_F(IfcCommands, ForeignSettingsFileNeverReadsOutsideTheKeys) {
    struct foreign_case {
        int32_t left_item;
        int32_t right_item;
        std::string reply;
    };
    const foreign_case cases[] = {
        {12, -1, "1 ? 2 ?"},
        {INT32_MIN, INT32_MAX, "1 ? 2 ?"},
        {11, 0, "1 tw_tbw 2 to"},
    };
    const std::string fresh = fresh_file();
    for (const foreign_case& c : cases) {
        std::string image = fresh;
        set_value(image, STAT_2, 1, c.left_item);
        set_value(image, STAT_2, 3, c.right_item);
        write_file(IFC_SET_FILE, image);
        EXPECT_EQ(get(IFC_get_hst_select), c.reply) << c.left_item;
        EXPECT_EQ(get(IFC_get_hist_cntdatL), HISTO_LEFT);
        EXPECT_EQ(get(IFC_get_hist_cntdatR), HISTO_RIGHT);
    }

    // Records missing from the table read as 0.
    std::string renamed = fresh;
    for (int rec : {TOT, STAT_1, STAT_2, V}) renamed[80 * rec + 4] = 'x';
    write_file(IFC_SET_FILE, renamed);
    EXPECT_EQ(get(IFC_get_hst_select), "0 to 0 to");
    EXPECT_EQ(get(IFC_get_stat), "color:0 mode:0 totw_sw:0 ");
    EXPECT_EQ(get(IFC_get_Tot_Twt_1), "to:0 tw:240 ");
    EXPECT_EQ(get(IFC_get_select_item), SELECT_ALL_ZERO);
    EXPECT_EQ(get(IFC_get_hist_cntdatL), HISTO_LEFT);
}

TEST_F(IfcCommands, EveryCommandIsReachedByItsName) {
    struct get_case {
        const char* name;
        get_handler handler;
    };
    const get_case gets[] = {
        {"IFC_get_select_item", IFC_get_select_item}, {"IFC_get_stat", IFC_get_stat},
        {"IFC_get_Tot_Twt_1", IFC_get_Tot_Twt_1},     {"IFC_get_Tot_Twt_2", IFC_get_Tot_Twt_2},
        {"IFC_get_Tot_Twt_3", IFC_get_Tot_Twt_3},     {"IFC_get_Tot_Twt_4", IFC_get_Tot_Twt_4},
        {"IFC_get_Tot_Twt_5", IFC_get_Tot_Twt_5},     {"IFC_get_Tot_Twt_6", IFC_get_Tot_Twt_6},
        {"IFC_get_To_Tw_1", IFC_get_To_Tw_1},         {"IFC_get_To_Tw_2", IFC_get_To_Tw_2},
        {"IFC_get_To_Tw_3", IFC_get_To_Tw_3},         {"IFC_get_To_Tw_4", IFC_get_To_Tw_4},
        {"IFC_get_To_Tw_5", IFC_get_To_Tw_5},         {"IFC_get_To_Tw_6", IFC_get_To_Tw_6},
        {"IFC_get_histo_ave_1", IFC_get_histo_ave_1}, {"IFC_get_histo_ave_2", IFC_get_histo_ave_2},
        {"IFC_get_histo_ave_3", IFC_get_histo_ave_3}, {"IFC_get_histo_ave_4", IFC_get_histo_ave_4},
        {"IFC_get_histo_ave_5", IFC_get_histo_ave_5}, {"IFC_get_histo_ave_6", IFC_get_histo_ave_6},
        {"IFC_get_hst_select", IFC_get_hst_select},   {"IFC_get_hist_cntdatL", IFC_get_hist_cntdatL},
        {"IFC_get_hist_cntdatR", IFC_get_hist_cntdatR},
    };
    // Distinct stored targets tell the colours apart.
    std::string image = fresh_file();
    for (int n = 1; n <= 6; ++n) set_value(image, TOT, n, 100 + n);
    write_file(IFC_SET_FILE, image);
    for (const get_case& c : gets) {
        const std::string field = padded(c.name, 20);
        for (;;) {
            const std::time_t before = std::time(nullptr);
            const int n = ether_get_data(field.c_str(), ether_tcpc_data);
            const std::string dispatched = n < 0 ? "<-1>" : std::string(ether_tcpc_data, n);
            const std::string direct = get(c.handler);
            if (std::time(nullptr) != before) continue;  // random values may differ: again
            EXPECT_EQ(dispatched, direct) << c.name;
            break;
        }
    }

    struct put_case {
        const char* name;
        const char* payload;
        get_handler reader;
        std::string reply;
    };
    const put_case puts[] = {
        {"IFC_set_select_item", "sub20:3", IFC_get_select_item, select_reply("sub20", 3)},
        {"IFC_set_stat", "color:4 mode:5 totw_sw:6", IFC_get_stat, "color:4 mode:5 totw_sw:6 "},
        {"IFC_set_to_tw_1", "to:11 tw:21", IFC_get_Tot_Twt_1, "to:11 tw:21 "},
        {"IFC_set_to_tw_2", "to:12 tw:22", IFC_get_Tot_Twt_2, "to:12 tw:22 "},
        {"IFC_set_to_tw_3", "to:13 tw:23", IFC_get_Tot_Twt_3, "to:13 tw:23 "},
        {"IFC_set_to_tw_4", "to:14 tw:24", IFC_get_Tot_Twt_4, "to:14 tw:24 "},
        {"IFC_set_to_tw_5", "to:15 tw:25", IFC_get_Tot_Twt_5, "to:15 tw:25 "},
        {"IFC_set_to_tw_6", "to:16 tw:26", IFC_get_Tot_Twt_6, "to:16 tw:26 "},
        {"IFC_hst_select_item", "LEFT 6 tb7", IFC_get_hst_select, "6 tb7 2 tw"},
    };
    const std::string fresh = fresh_file();
    for (const put_case& c : puts) {
        write_file(IFC_SET_FILE, fresh);
        const std::string body = std::string(c.name) + '\0' + c.payload;
        std::memcpy(ether_tcpc_data, body.data(), body.size());
        ether_put_data(ether_tcpc_data, static_cast<int>(body.size()));
        EXPECT_EQ(get(c.reader), c.reply) << c.name;
    }
    using namespace std::string_literals;
    const std::pair<std::string, std::string> printing[] = {
        {"IFC_hst_clear\0" "3 tb3"s, "clear_histo: color=3, item_no=3\n"},
        {"IFC_hst_set\0" "1 to 2 3 tw 4 5"s, "set_histo(L c=1, i=0, t=2, R c=3, i=10, t=4, samp=5)\n"},
    };
    for (const auto& [body, line] : printing) {
        std::memcpy(ether_tcpc_data, body.data(), body.size());
        ConsoleCapture out(stdout);
        ether_put_data(ether_tcpc_data, static_cast<int>(body.size()));
        EXPECT_EQ(out.text(), line);
    }
}
