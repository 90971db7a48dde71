// ifcctl offline: the command list, help and usage errors, reply JSON, and
// the histogram and watch views.
#include <gtest/gtest.h>

#include <string>

#include "ether_parse.h"
#include "ifcctl_run.h"
#include "mini_json.h"

namespace {

// ---- list ------------------------------------------------------------------------

// The list can never drift from the server: every command in the server's
// tables has a description, and every description belongs to a command.
TEST(IfcctlList, EveryServerCommandIsDescribedAndNoDescriptionIsStale) {
    std::vector<std::string> names = ifcctl::server_get_names();
    const auto puts = ifcctl::server_put_names();
    ASSERT_EQ(names.size(), static_cast<std::size_t>(GET_COMMAND_COUNT));
    ASSERT_EQ(puts.size(), static_cast<std::size_t>(PUT_COMMAND_COUNT));
    names.insert(names.end(), puts.begin(), puts.end());
    for (const auto& name : names) {
        EXPECT_NE(ifcctl::find_command_doc(name), nullptr) << name << " has no description";
    }
    for (const auto* doc : ifcctl::all_command_docs()) {
        bool used = false;
        for (const auto& name : names) used = used || ifcctl::find_command_doc(name) == doc;
        EXPECT_TRUE(used) << doc->key << " describes no server command";
    }
}

TEST(IfcctlList, TextAndJsonListEveryCommandInTableOrder) {
    const tool_result text = run_tool({"list"});
    EXPECT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("GET commands (29):"), std::string::npos);
    EXPECT_NE(text.out.find("\n  IFC_get_hist_cntdatL\n"), std::string::npos);
    EXPECT_NE(text.out.find("    e.g.     ifcctl put IFC_set_on_off_3 'main_on:120 "
                            "main_off:200'\n"),
              std::string::npos);
    // The colour digit replaces '#' in the family's words.
    EXPECT_NE(text.out.find("the targets to and tw of colour 4"), std::string::npos);

    const tool_result json = run_tool({"list", "--json"});
    EXPECT_EQ(json.code, 0);
    const auto list = parse_json(json.out);
    ASSERT_TRUE(list) << json.out;
    ASSERT_EQ(list->items.size(), 47u);
    EXPECT_EQ(list->items[0].get("name")->text, "IFC_get_select_item");
    EXPECT_EQ(list->items[0].get("verb")->text, "GET");
    EXPECT_EQ(list->items[28].get("name")->text, "IFC_get_on_off_6");
    EXPECT_EQ(list->items[29].get("name")->text, "MLETOFF_set_btnstat");
    EXPECT_EQ(list->items[29].get("verb")->text, "PUT");
    EXPECT_EQ(list->items[46].get("name")->text, "IFC_hst_set");
    for (const auto& item : list->items) {
        ASSERT_NE(item.get("example"), nullptr);
        EXPECT_NE(item.get(item.get("verb")->text == "GET" ? "reply" : "payload"), nullptr);
    }
}

// ---- help and usage ----------------------------------------------------------------

TEST(IfcctlUsage, HelpForTheToolAndEachCommand) {
    const tool_result tool = run_tool({"--help"});
    EXPECT_EQ(tool.code, 0);
    EXPECT_EQ(tool.out.rfind("usage: ifcctl ", 0), 0u);
    EXPECT_NE(tool.out.find("  7  file: "), std::string::npos) << "exit codes are listed";
    for (const char* command : {"get", "put", "ping", "list", "histo", "watch", "file", "help"}) {
        SCOPED_TRACE(command);
        const std::string prefix = std::string("usage: ifcctl ") + command;
        const tool_result flag = run_tool({command, "--help"});
        EXPECT_EQ(flag.code, 0);
        EXPECT_EQ(flag.out.rfind(prefix, 0), 0u) << flag.out;
        const tool_result word = run_tool({"help", command});
        EXPECT_EQ(word.out, flag.out);
    }
}

TEST(IfcctlUsage, BadCommandLinesExitWithOneAndSendNothing) {
    const std::vector<std::vector<std::string>> lines{
        {},
        {"frobnicate"},
        {"get"},
        {"get", "A", "B"},
        {"get", "IFC_get_stat", "--count", "2"},
        {"get", "IFC_get_stat_with_a_long_name"},   // 29 characters
        {"--port", "0", "ping"},
        {"--port", "70000", "ping"},
        {"--port", "x", "ping"},
        {"--timeout", "0", "ping"},
        {"--timeout", "soon", "ping"},
        {"--bogus", "ping"},
        {"histo", "up"},
        {"histo", "left", "--size", "0"},
        {"watch", "IFC_get_stat", "--count", "0"},
        {"file", "x", "--table", "other"},
        {"put", "IFC_set_sta", "color:1 mode:0 totw_sw:0"},   // not a PUT command
        {"put", "IFC_set_stat", std::string(256000, 'x')},    // body above the limit
        {"list", "--port", "9001"},
        {"help", "nothing"},
        {"ping", "--color", "sometimes"},
    };
    for (const auto& line : lines) {
        std::string shown;
        for (const auto& word : line) shown += word.substr(0, 40) + " ";
        SCOPED_TRACE(shown);
        const tool_result r = run_tool(line);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("ifcctl: ", 0), 0u) << r.err;
    }
}

// ---- reply JSON ----------------------------------------------------------------------

TEST(IfcctlReply, JsonOfKeyedAndPlainReplies) {
    const struct {
        const char* reply;
        const char* json;
    } cases[] = {
        {"color:1 mode:0 totw_sw:0 ", R"({"color":1,"mode":0,"totw_sw":0})"},
        {"to:-5 tw:007 ", R"({"to":-5,"tw":7})"},
        {"1 tw 2 tw", R"([1,"tw",2,"tw"])"},
        {"234 500 4.65 190 500 0 10", R"([234,500,4.65,190,500,0,10])"},
        {"RIGHT 7 tw_tbw", R"(["RIGHT",7,"tw_tbw"])"},
        {"", "[]"},
        {"a:1 b", R"(["a:1","b"])"},                    // mixed: an array of words
        {"k:x\"y\\ :2", R"(["k:x\"y\\",":2"])"},          // escapes; empty key is no key
        {"t:1.5 u:- v:", R"({"t":1.5,"u":"-","v":""})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        const std::string json = ifcctl::reply_json(c.reply);
        EXPECT_EQ(json, c.json);
        EXPECT_TRUE(parse_json(json));
    }
}

// ---- histogram view -------------------------------------------------------------------

// The known default histogram as the server sends it.
constexpr const char* DEFAULT_HISTOGRAM =
    "234 500 4.65 190 500 0 0 0 0 0 0 0 0 0 0 0 0 0 0 10 30 50 120 160 210 250 280 290 300 "
    "290 280 250 210 160 120 50 30 10 0 0 0 0 0 0 0 0 0 0 0 0 0";
constexpr long BELL[19] = {10, 30, 50, 120, 160, 210, 250, 280, 290, 300,
                           290, 280, 250, 210, 160, 120, 50, 30, 10};

TEST(IfcctlHisto, DefaultHistogramParses) {
    ifcctl::histogram h{};
    ASSERT_TRUE(ifcctl::parse_histogram("1 tw 2 tb3", DEFAULT_HISTOGRAM, 1, h));
    EXPECT_EQ(h.colour, 2);
    EXPECT_EQ(h.item, "tb3");
    EXPECT_EQ(h.summary[2], "4.65");
    for (int i = 0; i < ifcctl::HISTOGRAM_BINS; ++i) {
        EXPECT_EQ(h.bins[i], (i >= 14 && i <= 32) ? BELL[i - 14] : 0) << "bin " << i;
    }
    EXPECT_FALSE(ifcctl::parse_histogram("1 tw 2", DEFAULT_HISTOGRAM, 0, h));
    EXPECT_FALSE(ifcctl::parse_histogram("1 tw 2 tw", "234 500 4.65 190 500 0", 0, h));
    EXPECT_FALSE(ifcctl::parse_histogram("x tw 2 tw", DEFAULT_HISTOGRAM, 0, h));
}

TEST(IfcctlHisto, HorizontalBarsFollowTheBell) {
    ifcctl::histogram h{};
    ASSERT_TRUE(ifcctl::parse_histogram("1 tw 2 tw", DEFAULT_HISTOGRAM, 0, h));
    ifcctl::chart_options options;
    options.ascii = true;
    options.size = 30;   // 300 -> 30 cells, so every bar is a tenth of its bin
    const std::string chart = ifcctl::histogram_chart(h, "left", options);
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < chart.size();) {
        const std::size_t end = chart.find('\n', pos);
        lines.push_back(chart.substr(pos, end - pos));
        pos = end + 1;
    }
    ASSERT_EQ(lines.size(), 2u + 46u + 1u);
    EXPECT_EQ(lines[0], "left histogram: colour 1, item tw");
    EXPECT_EQ(lines[1], "summary: 234 500 4.65 190 500");
    for (int i = 0; i < 46; ++i) {
        const long value = (i >= 14 && i <= 32) ? BELL[i - 14] : 0;
        const std::string bar(static_cast<std::size_t>(value / 10), '#');
        char expected[64];
        std::snprintf(expected, sizeof expected, "%3d %6ld |", i, value);
        EXPECT_EQ(lines[2 + i], expected + bar);
    }
    EXPECT_EQ(lines[48], "total 3100 in 46 bins; peak 300 at bin 23");
}

TEST(IfcctlHisto, VerticalColumnsFollowTheBellInColour) {
    ifcctl::histogram h{};
    ASSERT_TRUE(ifcctl::parse_histogram("1 tw 3 tbw", DEFAULT_HISTOGRAM, 1, h));
    ifcctl::chart_options options;
    options.vertical = true;
    options.size = 10;
    options.colour = true;
    const std::string chart = ifcctl::histogram_chart(h, "right", options);
    EXPECT_EQ(chart.rfind("right histogram: \x1b[33mcolour 3\x1b[0m, item tbw\n", 0), 0u);
    // Strip the colour, then read the columns back: the height of each
    // column is its bin scaled to 10 rows (rounded, at least 1 when above 0).
    std::string plain;
    for (std::size_t i = 0; i < chart.size(); ++i) {
        if (chart[i] == '\x1b') {
            i = chart.find('m', i);
            continue;
        }
        plain += chart[i];
    }
    std::vector<std::string> rows;
    for (std::size_t pos = plain.find('\n', plain.find("summary")) + 1; rows.size() < 10;) {
        const std::size_t end = plain.find('\n', pos);
        rows.push_back(plain.substr(pos, end - pos));
        pos = end + 1;
    }
    EXPECT_EQ(rows[0].substr(0, 8), "   300 |");
    // After 8 characters of scale, each row holds a block or a space per bin.
    const std::string block = "\u2588";
    long height[46] = {};
    for (const auto& row : rows) {
        int bin = 0;
        for (std::size_t pos = 8; pos < row.size() && bin < 46; ++bin) {
            const bool filled = row.compare(pos, block.size(), block) == 0;
            height[bin] += filled ? 1 : 0;
            pos += filled ? block.size() : 1;
        }
    }
    for (int bin = 0; bin < 46; ++bin) {
        const long value = (bin >= 14 && bin <= 32) ? BELL[bin - 14] : 0;
        const long expected = value == 0 ? 0 : std::max(1L, (value * 10 + 150) / 300);
        EXPECT_EQ(height[bin], expected) << "bin " << bin;
    }
}

// ---- watch view -----------------------------------------------------------------------

TEST(IfcctlWatch, ChangedItemsAreMarkedWithTheirOldValue) {
    const auto first = ifcctl::split_reply("to:92 tbw:97 tw:242 ");
    const auto second = ifcctl::split_reply("to:92 tbw:237 tw:242 new:1 ");
    EXPECT_EQ(ifcctl::watch_frame(first, nullptr, false),
              "   to    92\n"
              "   tbw   97\n"
              "   tw   242\n");
    EXPECT_EQ(ifcctl::watch_frame(second, &first, false),
              "   to    92\n"
              "*  tbw  237  (was 97)\n"
              "   tw   242\n"
              "*  new    1  (new)\n");
    // Plain values are compared by position.
    const auto a = ifcctl::split_reply("1 tw 2 tw");
    const auto b = ifcctl::split_reply("3 tb2 2 tw");
    EXPECT_EQ(ifcctl::watch_frame(b, &a, true),
              "\x1b[1m*  [0]    3  (was 1)\x1b[0m\n"
              "\x1b[1m*  [1]  tb2  (was tw)\x1b[0m\n"
              "   [2]    2\n"
              "   [3]   tw\n");
}

}  // namespace
