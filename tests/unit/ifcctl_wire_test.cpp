// ifcctl over the wire: each subcommand against the real connection loop on
// loopback, and each error class against a refused port or a fake server.
#include <gtest/gtest.h>

#include <string>

#include "ifcctl_run.h"
#include "loop_server.h"
#include "mini_json.h"

namespace {

class IfcctlWire : public LoopServerTest {
protected:
    // `ifcctl --port <loop> ARGS...`
    tool_result tool(std::vector<std::string> args, std::string_view input = {}) {
        args.insert(args.begin(), {"--port", std::to_string(server_.port())});
        return run_tool(std::move(args), input);
    }
};

TEST_F(IfcctlWire, GetPrintsTheReplyOrItsJson) {
    const tool_result plain = tool({"get", "IFC_get_stat"});
    EXPECT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(plain.out, "color:1 mode:0 totw_sw:0 \n");

    const tool_result keyed = tool({"get", "IFC_get_on_off_1", "--json"});
    EXPECT_EQ(keyed.code, 0) << keyed.err;
    const auto timings = parse_json(keyed.out);
    ASSERT_TRUE(timings) << keyed.out;
    ASSERT_EQ(timings->kind, json_value::object);
    ASSERT_EQ(timings->keys.size(), 46u);
    EXPECT_EQ(timings->keys[0], "ATC_TO_DELAY");
    EXPECT_EQ(timings->keys[1], "pin_on");
    EXPECT_EQ(timings->values[1].text, "70");
    EXPECT_EQ(timings->keys[45], "sub18_off");

    const tool_result select = tool({"get", "IFC_get_hst_select", "--json"});
    EXPECT_EQ(select.out, "[1,\"tw\",2,\"tw\"]\n");

    const tool_result histo = tool({"get", "IFC_get_hist_cntdatR", "--json"});
    const auto values = parse_json(histo.out);
    ASSERT_TRUE(values) << histo.out;
    ASSERT_EQ(values->items.size(), 51u);
    EXPECT_EQ(values->items[2].kind, json_value::number);
    EXPECT_EQ(values->items[2].text, "4.52");
    EXPECT_EQ(values->items[5 + 23].number_value, 300);
}

TEST_F(IfcctlWire, PutChangesWhatGetThenReads) {
    const tool_result put = tool({"put", "IFC_set_to_tw_3", "to:200 tw:100"});
    EXPECT_EQ(put.code, 0) << put.err;
    EXPECT_EQ(put.out, "PUT IFC_set_to_tw_3: 13 payload bytes sent (body 29 bytes), the server "
                       "answered FIN\n");
    const tool_result get = tool({"get", "IFC_get_Tot_Twt_3", "--json"});
    EXPECT_EQ(get.out, "{\"to\":200,\"tw\":100}\n");
    // Options may follow the command, and the payload may begin with '-'.
    const tool_result dash = tool({"put", "--", "IFC_set_select_item", "-x:1"});
    EXPECT_EQ(dash.code, 0) << dash.err;
}

// Standard input goes whole, byte for byte: the server's console shows the
// full body length in its header line and prints the payload up to its NUL.
TEST_F(IfcctlWire, PayloadFromStandardInputKeepsSpacesLineFeedsAndNul) {
    const std::string payload("on a b\nline two\0after the NUL", 29);
    const tool_result r = tool({"put", "MLETOFF_set_btnstat", "-"}, payload);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "PUT MLETOFF_set_btnstat: 29 payload bytes sent (body 49 bytes), the server "
                     "answered FIN\n");
    const std::string console = server_.wait_for_out("on a b\nline two\n");
    EXPECT_NE(console.find("PUT49"), std::string::npos) << console;
    EXPECT_NE(console.find("on a b\nline two\n"), std::string::npos) << console;

    // The same through the executable and a real pipe.
    const std::string timings("main_on:121 main_off:201\0main_on:999", 36);
    const tool_result exe = run_exe({"--port", std::to_string(server_.port()), "put",
                                     "IFC_set_on_off_2", "-"},
                                    timings);
    EXPECT_EQ(exe.code, 0) << exe.err;
    EXPECT_NE(exe.out.find("36 payload bytes sent"), std::string::npos) << exe.out;
    const tool_result back = tool({"get", "IFC_get_on_off_2", "--json"});
    const auto json = parse_json(back.out);
    ASSERT_TRUE(json) << back.out;
    EXPECT_EQ(json->get("main_on")->number_value, 121);
    EXPECT_EQ(json->get("main_off")->number_value, 201);
}

TEST_F(IfcctlWire, PingHistoAndWatch) {
    const tool_result ping = tool({"ping"});
    EXPECT_EQ(ping.code, 0) << ping.err;
    EXPECT_NE(ping.out.find("127.0.0.1:" + std::to_string(server_.port()) + " is serving"),
              std::string::npos);

    ASSERT_EQ(tool({"put", "IFC_hst_select_item", "RIGHT 3 tb2"}).code, 0);
    const tool_result chart = tool({"histo", "right", "--ascii", "--size", "30"});
    EXPECT_EQ(chart.code, 0) << chart.err;
    EXPECT_EQ(chart.out.rfind("right histogram: colour 3, item tb2\n"
                              "summary: 234 500 4.52 190 500\n"
                              "  0      0 |\n",
                              0),
              0u)
        << chart.out;
    EXPECT_NE(chart.out.find(" 23    300 |" + std::string(30, '#') + "\n"), std::string::npos);

    const tool_result json = tool({"histo", "left", "--json"});
    const auto h = parse_json(json.out);
    ASSERT_TRUE(h) << json.out;
    EXPECT_EQ(h->get("colour")->number_value, 1);
    EXPECT_EQ(h->get("item")->text, "tw");
    ASSERT_EQ(h->get("bins")->items.size(), 46u);
    EXPECT_EQ(h->get("bins")->items[14].number_value, 10);
    EXPECT_EQ(h->get("summary")->items[2].text, "4.65");

    const tool_result watch = tool({"watch", "IFC_get_stat", "--count", "2", "--interval", "0"});
    EXPECT_EQ(watch.code, 0) << watch.err;
    const std::string frame = "   color    1\n   mode     0\n   totw_sw  0\n";
    const std::string head = "IFC_get_stat on 127.0.0.1:" + std::to_string(server_.port());
    EXPECT_EQ(watch.out.find(head + ", poll 1 of 2 at "), 0u) << watch.out;
    EXPECT_NE(watch.out.find(frame + "\n" + head + ", poll 2 of 2 at "), std::string::npos);
    EXPECT_EQ(watch.out.substr(watch.out.size() - frame.size()), frame);
}

TEST_F(IfcctlWire, UnknownCommandExitsWithThree) {
    const tool_result r = tool({"get", "IFC_get_nothing"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ifcctl: the server at 127.0.0.1:" + std::to_string(server_.port()) +
                         " does not know GET IFC_get_nothing: it answered the length header -1 "
                         "(LEN-000000001) and closed the connection; `ifcctl list` shows the "
                         "known commands\n");
}

// ---- Error classes against misbehaving peers ------------------------------------------

// Reads the header, then closes without a word.
void close_after_header(int client) { FakeServer::read_exactly(client, 23); }

// Answers a GET with bytes that are no length header.
void garbage(int client) {
    FakeServer::read_exactly(client, 23);
    FakeServer::send_text(client, "HELLO, WORLD!");
    FakeServer::read_exactly(client, 4);
}

// Answers a PUT header with a token other than NEXT.
void wrong_token(int client) {
    FakeServer::read_exactly(client, 23);
    FakeServer::send_text(client, "NOPE");
    FakeServer::read_exactly(client, 100);
}

// Answers every GET with a 3-byte reply that is neither histogram shape.
void short_reply(int client) {
    for (;;) {
        if (FakeServer::read_exactly(client, 23).size() < 23) return;
        FakeServer::send_text(client, "LEN0000000003");
        if (FakeServer::read_exactly(client, 4) != "NEXT") return;
        FakeServer::send_text(client, "1 2");
    }
}

// Each connection gets "v:N " with N counting connections from 1.
void counting(int client) {
    static int connections = 0;
    ++connections;
    FakeServer::read_exactly(client, 23);
    const std::string reply = "v:" + std::to_string(connections) + " same:0 ";
    char header[16];
    std::snprintf(header, sizeof header, "LEN%010zu", reply.size());
    FakeServer::send_text(client, header);
    FakeServer::read_exactly(client, 4);
    FakeServer::send_text(client, reply);
    FakeServer::read_exactly(client, 23);   // DISCONNECT
}

TEST(IfcctlErrors, EachFailureHasItsExitCodeAndMessage) {
    struct error_case {
        const char* what;
        FakeServer::behaviour_fn behaviour;
        std::vector<std::string> args;
        int code;
        std::string message;   // standard error after "ifcctl: "; PORT stands for the port
    };
    const std::vector<error_case> cases{
        {"server closes", close_after_header, {"get", "IFC_get_stat"}, 4,
         "the server at 127.0.0.1:PORT closed the connection during GET IFC_get_stat\n"},
        {"never answers", nullptr, {"get", "IFC_get_stat"}, 5,
         "no answer from 127.0.0.1:PORT within 0.3 s during GET IFC_get_stat\n"},
        {"never serves a ping", nullptr, {"ping"}, 5,
         "connected to 127.0.0.1:PORT, but the server did not serve the connection within "
         "0.3 s (busy with another client?)\n"},
        {"garbage reply", garbage, {"get", "IFC_get_stat"}, 6,
         "malformed reply from 127.0.0.1:PORT to GET IFC_get_stat: bytes that are not the "
         "protocol's length header or token\n"},
        {"wrong token", wrong_token, {"put", "IFC_set_stat", "color:1 mode:0 totw_sw:0"}, 6,
         "malformed reply from 127.0.0.1:PORT to PUT IFC_set_stat: bytes that are not the "
         "protocol's length header or token\n"},
        {"histogram of another shape", short_reply, {"histo", "left"}, 6,
         "the histogram replies have an unexpected shape:\n"
         "  IFC_get_hst_select: \"1 2\"\n  IFC_get_hist_cntdatL: \"1 2\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer fake(c.behaviour);
        std::vector<std::string> args{"--port", fake.port(), "--timeout", "0.3"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const tool_result r = run_tool(args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.out, "");
        std::string message = c.message;
        if (const auto at = message.find("PORT"); at != std::string::npos) {
            message.replace(at, 4, fake.port());
        }
        EXPECT_EQ(r.err, "ifcctl: " + message);
    }
}

TEST(IfcctlErrors, RefusedConnectionNamesAddressAndReason) {
    ClosedPort closed;
    for (const char* command : {"get", "watch"}) {
        const tool_result r = run_tool({"--port", closed.port(), command, "IFC_get_stat"});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "ifcctl: cannot connect to 127.0.0.1:" + closed.port() +
                             ": Connection refused\n");
    }
    // The executable's exit status is the same.
    EXPECT_EQ(run_exe({"--port", closed.port(), "ping"}).code, 2);
}

TEST(IfcctlErrors, WatchMarksWhatChangedBetweenPolls) {
    FakeServer fake(counting);
    const tool_result r = run_tool({"--port", fake.port(), "watch", "ANY", "--count", "3",
                                    "--interval", "0.01"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("poll 1 of 3 at "), std::string::npos);
    EXPECT_NE(r.out.find("   v     1\n   same  0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("*  v     2  (was 1)\n   same  0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("*  v     3  (was 2)\n   same  0\n"), std::string::npos) << r.out;
}

}  // namespace
