// The interface data commands over the wire: the connection loop serving in
// a child process on loopback, a protocol client, replies byte for byte.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ifc_client.h"
#include "ifc_net.h"
#include "loop_server.h"

namespace {

const std::string SELECT_ALL_ZERO =
    "pin:0 abs:0 main:0 tandem:0 stretch:0 sub1:0 sub2:0 sub3:0 sub4:0 sub5:0 sub6:0 "
    "sub7:0 sub8:0 sub9:0 sub10:0 sub11:0 sub12:0 sub13:0 sub14:0 sub15:0 sub16:0 "
    "sub17:0 sub18:0 sub19:0 sub20:0 ";
const std::string HISTO_BINS_TEXT =
    " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "
    "10 30 50 120 160 210 250 280 290 300 290 280 250 210 160 120 50 30 10 "
    "0 0 0 0 0 0 0 0 0 0 0 0 0";

class IfcWire : public LoopServerTest {
protected:
    std::string get(ifc::Connection& c, const std::string& name) {
        std::string reply;
        EXPECT_EQ(ifc::get(c, name, reply), ifc::Result::ok) << name;
        return reply;
    }
    void put(ifc::Connection& c, const std::string& name, const std::string& payload) {
        EXPECT_EQ(ifc::put(c, name, payload), ifc::Result::ok) << name;
    }
};

}  // namespace

TEST_F(IfcWire, RepliesFromFreshDefaults) {
    struct reply_case {
        std::string name;
        std::string reply;
    };
    const reply_case cases[] = {
        {"IFC_get_select_item", SELECT_ALL_ZERO},
        {"IFC_get_stat", "color:1 mode:0 totw_sw:0 "},
        {"IFC_get_Tot_Twt_1", "to:90 tw:240 "},
        {"IFC_get_Tot_Twt_6", "to:90 tw:240 "},
        {"IFC_get_To_Tw_1", "to:92 tw:242 "},
        {"IFC_get_To_Tw_2", "to:92 tw:252 "},
        {"IFC_get_To_Tw_6", "to:92 tw:242 "},
        {"IFC_get_histo_ave_1", "to:92 tb1:128 tb2:164 tb3:190 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:224 tw:242 "},
        {"IFC_get_histo_ave_2", "to:92 tb1:130 tb2:166 tb3:194 tb4:0 tb5:0 tb6:0 tb7:0 tb8:0 tbw:228 tw:252 "},
        {"IFC_get_hst_select", "1 tw 2 tw"},
        {"IFC_get_hist_cntdatL", "234 500 4.65 190 500" + HISTO_BINS_TEXT},
        {"IFC_get_hist_cntdatR", "234 500 4.52 190 500" + HISTO_BINS_TEXT},
    };
    ifc::Connection c = server_.connect();
    for (const reply_case& k : cases) EXPECT_EQ(get(c, k.name), k.reply) << k.name;
    EXPECT_EQ(cases[0].reply.size(), 189u);
    EXPECT_EQ(cases[1].reply.size(), 25u);
    EXPECT_EQ(cases[2].reply.size(), 13u);
    EXPECT_EQ(cases[7].reply.size(), 75u);
    EXPECT_EQ(cases[10].reply.size(), 144u);
    EXPECT_EQ(read_file(IFC_SET_FILE).size(), 800u);
}

TEST_F(IfcWire, ChangesReadBack) {
    ifc::Connection c = server_.connect();
    put(c, "IFC_set_select_item", "sub10:1");
    put(c, "IFC_set_select_item", "Pin:1");  // no such item
    put(c, "IFC_set_stat", "color:2 mode:1");  // too few colons
    put(c, "IFC_set_stat", "color:3 mode:1 totw_sw:1");
    put(c, "IFC_set_to_tw_3", "to:200 tw:100");
    put(c, "IFC_hst_select_item", "LEFT 3 tb2");
    put(c, "IFC_hst_select_item", "RIGHT 7 tw_tbw");

    std::string select = SELECT_ALL_ZERO;
    select.replace(select.find("sub10:0"), 7, "sub10:1");
    EXPECT_EQ(get(c, "IFC_get_select_item"), select);
    EXPECT_EQ(get(c, "IFC_get_stat"), "color:3 mode:1 totw_sw:1 ");
    EXPECT_EQ(get(c, "IFC_get_Tot_Twt_3"), "to:200 tw:100 ");
    EXPECT_EQ(get(c, "IFC_get_Tot_Twt_4"), "to:90 tw:240 ");
    EXPECT_EQ(get(c, "IFC_get_hst_select"), "3 tb2 2 tw_tbw");
    EXPECT_EQ(get(c, "IFC_get_hist_cntdatL"), "234 500 4.65 190 500" + HISTO_BINS_TEXT);
}

TEST_F(IfcWire, HistogramRequestsOnTheConsole) {
    {
        ifc::Connection c = server_.connect();
        put(c, "IFC_hst_clear", "2 tbw");
        put(c, "IFC_hst_clear", "2 xyz");
        put(c, "IFC_hst_set", "1 tb1 5 2 zz 6 100");
        put(c, "IFC_hst_set", std::string(33, ' '));
        ifc::disconnect(c);
    }
    // The first reply on a new connection follows the flush of every earlier line.
    ifc::Connection c = server_.connect();
    get(c, "IFC_get_stat");
    // Only the histogram lines; the loop's own progress lines come between.
    std::istringstream out(server_.out());
    std::string histo_lines;
    for (std::string line; std::getline(out, line);)
        if (line.find("_histo") != std::string::npos) histo_lines += line + "\n";
    EXPECT_EQ(histo_lines,
              "clear_histo: color=2, item_no=9\n"
              "set_histo(L c=1, i=1, t=5, R c=2, i=0, t=6, samp=100)\n");
}
