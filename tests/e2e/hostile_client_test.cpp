// Hostile clients against the real executable on port 9001.
//
// Thousands of bad inputs, each on its own connection (or, where the
// protocol keeps the connection open, followed by a check that it still
// works): garbled headers, wrong verbs, unknown names, oversize, negative
// and overflowing PUT lengths, truncated headers and bodies, clients that
// vanish during a GET reply or a PUT body, tokens other than "NEXT", junk
// bodies, floods of PINGs, headers in pieces, and two clients that stall.
// Interleaved with them, valid changes whose effect is kept in a model. At
// the end the server must be alive, answer every GET exactly as the model
// says, and the settings files must hold every valid change. Truncated and
// abandoned bodies carry the poison value 12345, which no valid change uses:
// a body dispatched although it never arrived whole shows up in the final
// comparison.
//
// The random generator is seeded from TCP9001_SEED when set, else from the
// clock; the seed is printed so that a failure can be replayed.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "ifc_client.h"
#include "scratch_dir.h"
#include "server_process.h"

namespace {

constexpr int kPoison = 12345;
constexpr int kRounds = 300;          // valid changes
constexpr int kHostilePerRound = 10;  // hostile inputs between two of them
constexpr int kTimeoutMs = 8000;      // more than the server's 5-second waits

constexpr std::array<const char*, 25> kSwitches = {
    "pin",   "abs",   "main",  "tandem", "stretch", "sub1",  "sub2",  "sub3",  "sub4",
    "sub5",  "sub6",  "sub7",  "sub8",   "sub9",    "sub10", "sub11", "sub12", "sub13",
    "sub14", "sub15", "sub16", "sub17",  "sub18",   "sub19", "sub20"};
// Record and colour of each switch in "ifc_set.set".
struct Slot {
    const char* record;
    int colour;
};
constexpr std::array<Slot, 25> kSwitchSlots = {{
    {"V", 2},  {"V", 3},  {"V", 4},  {"V", 5},  {"V", 6},  {"S1", 1}, {"S1", 2},
    {"S1", 3}, {"S1", 4}, {"S1", 5}, {"S1", 6}, {"S2", 1}, {"S2", 2}, {"S2", 3},
    {"S2", 4}, {"S2", 5}, {"S2", 6}, {"S3", 1}, {"S3", 2}, {"S3", 3}, {"S3", 4},
    {"S3", 5}, {"S3", 6}, {"S4", 1}, {"S4", 2},
}};
constexpr std::array<const char*, 12> kHistoKeys = {"to",  "tb1", "tb2", "tb3", "tb4", "tb5",
                                                    "tb6", "tb7", "tb8", "tbw", "tw",  "tw_tbw"};

const std::vector<std::string> kPutNames = {
    "MLETOFF_set_btnstat", "IFC_set_select_item", "IFC_set_stat",     "IFC_set_to_tw_1",
    "IFC_set_to_tw_2",     "IFC_set_to_tw_3",     "IFC_set_to_tw_4",  "IFC_set_to_tw_5",
    "IFC_set_to_tw_6",     "IFC_set_on_off_1",    "IFC_set_on_off_2", "IFC_set_on_off_3",
    "IFC_set_on_off_4",    "IFC_set_on_off_5",    "IFC_set_on_off_6", "IFC_hst_select_item",
    "IFC_hst_clear",       "IFC_hst_set"};

// "key:value " items of a reply, in order.
std::vector<std::pair<std::string, int>> parse_items(const std::string& reply) {
    std::vector<std::pair<std::string, int>> items;
    size_t at = 0;
    while (at < reply.size()) {
        const size_t colon = reply.find(':', at);
        const size_t space = reply.find(' ', at);
        if (colon == std::string::npos || space == std::string::npos || colon > space) break;
        items.emplace_back(reply.substr(at, colon - at),
                           std::atoi(reply.substr(colon + 1, space - colon - 1).c_str()));
        at = space + 1;
    }
    return items;
}

// What the server must hold: built from its first answers, then changed
// with every valid change that was acknowledged.
struct Model {
    std::array<int, 25> switches{};
    std::array<int, 3> stat{};
    std::array<int, 6> to{}, tw{};
    std::array<int, 4> hist{};  // left colour, left item, right colour, right item
    std::vector<std::string> valve_keys;
    std::array<std::vector<int>, 6> valve;  // [colour-1][key row]

    std::string select_item_reply() const {
        std::string r;
        for (size_t i = 0; i < kSwitches.size(); ++i) {
            r += std::string(kSwitches[i]) + ":" + std::to_string(switches[i]) + " ";
        }
        return r;
    }
    std::string stat_reply() const {
        return "color:" + std::to_string(stat[0]) + " mode:" + std::to_string(stat[1]) +
               " totw_sw:" + std::to_string(stat[2]) + " ";
    }
    std::string target_reply(int c) const {
        return "to:" + std::to_string(to[c - 1]) + " tw:" + std::to_string(tw[c - 1]) + " ";
    }
    std::string hst_select_reply() const {
        return std::to_string(hist[0]) + " " + kHistoKeys[hist[1]] + " " + std::to_string(hist[2]) +
               " " + kHistoKeys[hist[3]];
    }
    std::string on_off_reply(int c) const {
        std::string r = "ATC_TO_DELAY:0 ";
        for (size_t k = 0; k < valve_keys.size(); ++k) {
            r += valve_keys[k] + ":" + std::to_string(valve[c - 1][k]) + " ";
        }
        return r;
    }
};

class HostileClients : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        const char* env = std::getenv("TCP9001_SEED");
        seed_ = env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10))
                    : static_cast<unsigned>(
                          std::chrono::system_clock::now().time_since_epoch().count());
        std::printf("hostile clients: seed %u (set TCP9001_SEED to replay)\n", seed_);
        rng_.seed(seed_);
        ServerProcessOptions options;
        options.stdout_path = (dir_ / "console.out").string();
        options.stderr_path = (dir_ / "console.err").string();
        ASSERT_TRUE(server_.start(dir_, options));
    }
    void TearDown() override {
        server_.kill();
        if (HasFailure()) {  // a sanitizer report of the server lands here
            const std::string err = slurp_file(dir_ / "console.err");
            std::printf("server's standard error (seed %u):\n%s\n", seed_,
                        err.substr(err.size() > 8000 ? err.size() - 8000 : 0).c_str());
        }
        ScratchDir::TearDown();
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    std::string random_bytes(size_t n) {
        std::string s(n, '\0');
        for (char& ch : s) ch = static_cast<char>(pick(0, 255));
        return s;
    }
    // Printable text without ':' (and without NUL): no PUT handler finds a
    // change in it.
    std::string colon_free_text(size_t n) {
        std::string s(n, ' ');
        for (char& ch : s) {
            do ch = static_cast<char>(pick(0x20, 0x7e));
            while (ch == ':');
        }
        return s;
    }

    ifc::Connection connect() {
        ifc::Connection c;
        const ifc::Result r = ifc::connect_to(c, "127.0.0.1", ServerProcess::kPort, kTimeoutMs);
        EXPECT_EQ(r, ifc::Result::ok) << "connect, after " << hostile_ << " hostile inputs";
        return c;
    }
    static std::string put_header(const std::string& length_text) {
        return ifc::header("PUT", length_text);
    }
    static std::string get_header(const std::string& name) {
        return "GET" + (name + std::string(20, ' ')).substr(0, 20);
    }
    // The server must end the connection, sending nothing (more).
    void expect_closed(ifc::Connection& c, const char* what) {
        std::string rest;
        EXPECT_EQ(ifc::recv_until_closed(c, rest), ifc::Result::ok) << what;
        EXPECT_EQ(rest, "") << what;
    }
    void expect_bytes(ifc::Connection& c, const std::string& want, const char* what) {
        std::string got;
        EXPECT_EQ(ifc::recv_exact(c, want.size(), got), ifc::Result::ok) << what;
        EXPECT_EQ(got, want) << what;
    }
    void expect_get(ifc::Connection& c, const std::string& name, const std::string& want) {
        std::string reply;
        ASSERT_EQ(ifc::get(c, name, reply), ifc::Result::ok) << name;
        EXPECT_EQ(reply, want) << name << " after " << hostile_ << " hostile inputs";
    }

    void load_model();
    void valid_change(ifc::Connection& c);
    void check_one(ifc::Connection& c);
    void hostile(int kind);
    void stall_in_header();
    void stall_in_body();
    void check_files();

    unsigned seed_ = 0;
    std::mt19937 rng_;
    ServerProcess server_;
    Model model_;
    int hostile_ = 0;
    int valid_ = 0;
};

void HostileClients::load_model() {
    ifc::Connection c = connect();
    std::string reply;
    ASSERT_EQ(ifc::get(c, "IFC_get_select_item", reply), ifc::Result::ok);
    auto items = parse_items(reply);
    ASSERT_EQ(items.size(), 25u) << reply;
    for (size_t i = 0; i < 25; ++i) model_.switches[i] = items[i].second;
    ASSERT_EQ(ifc::get(c, "IFC_get_stat", reply), ifc::Result::ok);
    items = parse_items(reply);
    ASSERT_EQ(items.size(), 3u) << reply;
    for (size_t i = 0; i < 3; ++i) model_.stat[i] = items[i].second;
    for (int n = 1; n <= 6; ++n) {
        ASSERT_EQ(ifc::get(c, "IFC_get_Tot_Twt_" + std::to_string(n), reply), ifc::Result::ok);
        items = parse_items(reply);
        ASSERT_EQ(items.size(), 2u) << reply;
        model_.to[n - 1] = items[0].second;
        model_.tw[n - 1] = items[1].second;
        ASSERT_EQ(ifc::get(c, "IFC_get_on_off_" + std::to_string(n), reply), ifc::Result::ok);
        items = parse_items(reply);
        ASSERT_EQ(items.size(), 46u) << reply;
        model_.valve_keys.clear();
        model_.valve[n - 1].clear();
        for (size_t k = 1; k < items.size(); ++k) {
            model_.valve_keys.push_back(items[k].first);
            model_.valve[n - 1].push_back(items[k].second);
        }
    }
    ASSERT_EQ(ifc::get(c, "IFC_get_hst_select", reply), ifc::Result::ok);
    ASSERT_EQ(reply, "1 tw 2 tw");
    model_.hist = {1, 10, 2, 10};
    ifc::disconnect(c);
}

// One acknowledged change, recorded in the model.
void HostileClients::valid_change(ifc::Connection& c) {
    const int n = pick(1, 6);
    std::string name, payload;
    switch (pick(0, 4)) {
        case 0: {
            name = "IFC_set_on_off_" + std::to_string(n);
            for (int items = pick(1, 4); items > 0; --items) {
                const int k = pick(0, static_cast<int>(model_.valve_keys.size()) - 1);
                const int v = pick(0, 359);
                payload += model_.valve_keys[k] + ":" + std::to_string(v) + " ";
                model_.valve[n - 1][k] = v;
            }
            break;
        }
        case 1: {
            name = "IFC_set_to_tw_" + std::to_string(n);
            const int to = pick(50, 150), tw = pick(190, 290);
            payload = "to:" + std::to_string(to) + " tw:" + std::to_string(tw);
            model_.to[n - 1] = to;
            model_.tw[n - 1] = tw;
            break;
        }
        case 2: {
            name = "IFC_set_select_item";
            if (chance(5)) {
                payload = "all:1";
                model_.switches.fill(0);
            } else {
                const int i = pick(0, 24), v = pick(0, 1);
                payload = std::string(kSwitches[i]) + ":" + std::to_string(v);
                model_.switches[i] = v;
            }
            break;
        }
        case 3: {
            name = "IFC_set_stat";
            model_.stat = {pick(1, 6), pick(0, 3), pick(0, 1)};
            payload = "color:" + std::to_string(model_.stat[0]) +
                      " mode:" + std::to_string(model_.stat[1]) +
                      " totw_sw:" + std::to_string(model_.stat[2]);
            break;
        }
        default: {
            name = "IFC_hst_select_item";
            const bool left = chance(50);
            const int colour = pick(1, 6), item = pick(0, 11);
            payload = std::string(left ? "LEFT " : "RIGHT ") + std::to_string(colour) + " " +
                      kHistoKeys[item];
            if (payload.size() > 15) return;  // longer payloads are ignored as a whole
            model_.hist[left ? 0 : 2] = colour;
            model_.hist[left ? 1 : 3] = item;
            break;
        }
    }
    ASSERT_EQ(ifc::put(c, name, payload), ifc::Result::ok) << name << " " << payload;
    ++valid_;
}

// One GET, chosen at random, answered exactly as the model says.
void HostileClients::check_one(ifc::Connection& c) {
    const int n = pick(1, 6);
    switch (pick(0, 4)) {
        case 0:
            expect_get(c, "IFC_get_select_item", model_.select_item_reply());
            break;
        case 1:
            expect_get(c, "IFC_get_stat", model_.stat_reply());
            break;
        case 2:
            expect_get(c, "IFC_get_Tot_Twt_" + std::to_string(n), model_.target_reply(n));
            break;
        case 3:
            expect_get(c, "IFC_get_hst_select", model_.hst_select_reply());
            break;
        default:
            expect_get(c, "IFC_get_on_off_" + std::to_string(n), model_.on_off_reply(n));
            break;
    }
}

void HostileClients::hostile(int kind) {
    ++hostile_;
    ifc::Connection c = connect();
    if (!c.is_open()) return;
    const std::string poison_body =
        "IFC_set_to_tw_" + std::to_string(pick(1, 6)) + '\0' + "to:" + std::to_string(kPoison) +
        " tw:" + std::to_string(kPoison);
    switch (kind) {
        case 0: {  // a garbled header: 23 random bytes that begin with no verb
            std::string h;
            do h = random_bytes(23);
            while (h.starts_with("GET") || h.starts_with("PUT") || h.starts_with("PING") ||
                   h.starts_with("DISCONNECT"));
            ifc::send_raw(c, h);
            expect_closed(c, "garbled header");
            break;
        }
        case 1: {  // a wrong verb
            static const std::vector<std::string> verbs = {
                "get",       "put",  "Get",    "pUT",     "ping", "disconnect",
                "POST",      "HEAD", "DELETE", "GE",      "PU",   "PIN",
                "DISCONNEC", " GET", "\tPUT",  "\x00GET", "XPUT", "OPTIONS"};
            const std::string& verb = verbs[pick(0, static_cast<int>(verbs.size()) - 1)];
            ifc::send_raw(c, ifc::header(verb, "IFC_get_stat", ' '));
            expect_closed(c, "wrong verb");
            break;
        }
        case 2: {  // GET of a name that is no command: length -1, then closed
            static const std::vector<std::string> names = {"ifc_get_stat",     "IFC_get_stat2",
                                                           "IFC_set_stat",     "IFC_get_on_off_7",
                                                           "IFC_get_on_off_0", "",
                                                           "IFC_get_Tot_Twt_", "IFC_GET_STAT"};
            std::string h;
            if (chance(30)) {
                h = "GET" + std::string("IFC_get_stat") + std::string(8, '\0');  // NUL fill
            } else if (chance(30)) {
                h = "GET" + random_bytes(20);
            } else {
                h = get_header(names[pick(0, static_cast<int>(names.size()) - 1)]);
            }
            ifc::send_raw(c, h);
            expect_bytes(c, "LEN-000000001", "unknown GET");
            expect_closed(c, "unknown GET");
            break;
        }
        case 3: {  // oversize, negative, overflowing lengths: "ERR!", connection stays
            static const std::vector<std::string> lengths = {
                "256001",     "-1",          "4294967297",           "99999999999999999999",
                "2147483648", "-2147483648", "-2147483649",          "+256001",
                " -5",        "4294967296",  "18446744073709551617", "0256001",
                "1000000"};
            ifc::send_raw(c, put_header(lengths[pick(0, static_cast<int>(lengths.size()) - 1)]));
            expect_bytes(c, "ERR!", "bad length");
            EXPECT_EQ(ifc::ping(c), ifc::Result::ok);
            if (chance(50)) {
                valid_change(c);
            } else {
                check_one(c);
            }
            ifc::disconnect(c);
            break;
        }
        case 4: {  // a length of zero or none: "FIN" at once, nothing dispatched
            static const std::vector<std::string> zeros = {"0", "", "-0", "abc", "+0", " 0x10"};
            ifc::send_raw(c, put_header(zeros[pick(0, static_cast<int>(zeros.size()) - 1)]));
            expect_bytes(c, "FIN", "zero length");
            check_one(c);
            ifc::disconnect(c);
            break;
        }
        case 5: {  // a header cut short by a client that closes its side
            std::string h = chance(50) ? get_header("IFC_get_stat") : put_header("30");
            h.resize(static_cast<size_t>(pick(1, 22)));
            ifc::send_raw(c, h);
            shutdown(c.fd(), SHUT_WR);
            expect_closed(c, "short header");
            break;
        }
        case 6: {  // a truncated body: fewer bytes than announced, then closed
            const size_t announced = poison_body.size() + static_cast<size_t>(pick(1, 3000));
            ifc::send_raw(c, put_header(std::to_string(announced)));
            expect_bytes(c, "NEXT", "truncated body");
            ifc::send_raw(c, poison_body);
            shutdown(c.fd(), SHUT_WR);
            std::string rest;
            EXPECT_EQ(ifc::recv_until_closed(c, rest), ifc::Result::ok);
            EXPECT_EQ(rest.find("FIN"), std::string::npos) << "FIN for a truncated body";
            break;
        }
        case 7: {  // a client that vanishes in the middle of a body of several chunks
            std::string body = poison_body;
            body.resize(static_cast<size_t>(pick(1100, 5000)), ' ');  // two chunks or more
            ifc::send_raw(c, put_header(std::to_string(body.size())));
            expect_bytes(c, "NEXT", "vanishing body");
            // Never the whole body: at most the first chunk and part of the next.
            ifc::send_raw(c, body.substr(0, static_cast<size_t>(pick(0, 1024 + 64))));
            c.close();
            break;
        }
        case 8: {  // a client that vanishes during a GET reply
            const int n = pick(1, 6);
            ifc::send_raw(c, get_header("IFC_get_on_off_" + std::to_string(n)));
            std::string len;
            EXPECT_EQ(ifc::recv_exact(c, 13, len), ifc::Result::ok);
            char want[16];
            std::snprintf(want, sizeof want, "LEN%010zu", model_.on_off_reply(n).size());
            EXPECT_EQ(len, want);
            if (chance(50)) ifc::send_raw(c, "NEXT");  // ask, and never read it
            c.close();
            break;
        }
        case 9: {  // a token other than "NEXT" during a GET reply
            static const std::vector<std::string> tokens = {
                "next",  "NEXt", "NEX",  "DONE", "FIN!", std::string(4, '\0'),
                "NEX\n", " NEX", "ERR!", "PING"};
            std::string token =
                chance(20) ? random_bytes(4) : tokens[pick(0, static_cast<int>(tokens.size()) - 1)];
            if (token == "NEXT") token = "NEXt";
            ifc::send_raw(c, get_header("IFC_get_select_item"));
            std::string len;
            EXPECT_EQ(ifc::recv_exact(c, 13, len), ifc::Result::ok);
            ifc::send_raw(c, token);
            if (token.size() < 4) shutdown(c.fd(), SHUT_WR);
            expect_closed(c, "wrong token");
            break;
        }
        case 10: {  // a flood of PINGs, then a header that arrives in pieces
            std::string pings;
            for (int i = pick(1, 60); i > 0; --i) pings += ifc::header("PING", random_bytes(19));
            ifc::send_raw(c, pings);
            const std::string h = get_header("IFC_get_stat");
            const size_t cut1 = static_cast<size_t>(pick(1, 11)),
                         cut2 = static_cast<size_t>(pick(12, 22));
            ifc::send_raw(c, h.substr(0, cut1));
            ifc::send_raw(c, h.substr(cut1, cut2 - cut1));
            ifc::send_raw(c, h.substr(cut2));
            const std::string reply = model_.stat_reply();
            char len[16];
            std::snprintf(len, sizeof len, "LEN%010zu", reply.size());
            expect_bytes(c, len, "header in pieces");
            ifc::send_raw(c, "NEXT");
            expect_bytes(c, reply, "header in pieces");
            ifc::disconnect(c);
            break;
        }
        default: {  // a junk body that changes nothing; "FIN", connection stays
            std::string body;
            switch (pick(0, 4)) {
                case 0: {  // no NUL at all
                    body = random_bytes(static_cast<size_t>(pick(1, 3000)));
                    for (char& ch : body)
                        if (ch == '\0') ch = 'x';
                    break;
                }
                case 1:  // an unknown name, or a known one in another case
                    body = (chance(50) ? random_bytes(static_cast<size_t>(pick(0, 30)))
                                       : std::string("ifc_SET_STAT")) +
                           '\0' + random_bytes(static_cast<size_t>(pick(0, 200)));
                    if (body.find('\0') < body.size() && body.substr(0, body.find('\0')) != "" &&
                        std::find(kPutNames.begin(), kPutNames.end(),
                                  body.substr(0, body.find('\0'))) != kPutNames.end()) {
                        body = "nope" + body;
                    }
                    break;
                case 2: {  // commands that only print: any bytes
                    static const std::vector<std::string> printers = {
                        "MLETOFF_set_btnstat", "IFC_hst_clear", "IFC_hst_set"};
                    body = printers[pick(0, 2)] + '\0' +
                           random_bytes(static_cast<size_t>(pick(0, 2000)));
                    break;
                }
                default: {  // changing commands with a payload that holds no change
                    static const std::vector<std::string> changers = {
                        "IFC_set_select_item", "IFC_set_stat", "IFC_set_to_tw_1", "IFC_set_to_tw_6",
                        "IFC_set_on_off_3"};
                    body = changers[pick(0, 4)] + '\0' +
                           colon_free_text(static_cast<size_t>(pick(0, 1500)));
                    break;
                }
            }
            if (body.find('\0') == std::string::npos || chance(50)) {
                ifc::send_raw(c, put_header(std::to_string(body.size())) + body);  // all at once
                std::string tokens;
                const size_t chunks = (body.size() + 1023) / 1024;
                EXPECT_EQ(ifc::recv_exact(c, 4 * chunks + 3, tokens), ifc::Result::ok);
                std::string want;
                for (size_t i = 0; i < chunks; ++i) want += "NEXT";
                EXPECT_EQ(tokens, want + "FIN") << "junk body sent at once";
            } else {
                const std::string name = body.substr(0, body.find('\0'));
                EXPECT_EQ(ifc::put(c, name, std::string_view(body).substr(name.size() + 1)),
                          ifc::Result::ok);
            }
            if (chance(20)) check_one(c);
            ifc::disconnect(c);
            break;
        }
    }
}

// A client that sends part of a header and then nothing: the server gives up
// after its 5-second wait and serves the next client.
void HostileClients::stall_in_header() {
    ++hostile_;
    ifc::Connection c = connect();
    ifc::send_raw(c, get_header("IFC_get_stat").substr(0, 10));
    expect_closed(c, "stall in a header");
}

// A client that stops sending in the middle of a PUT body.
void HostileClients::stall_in_body() {
    ++hostile_;
    ifc::Connection c = connect();
    const std::string body =
        "IFC_set_select_item" + std::string(1, '\0') + "sub20:" + std::to_string(kPoison) +
        std::string(1500, ' ');
    ifc::send_raw(c, put_header(std::to_string(body.size())));
    expect_bytes(c, "NEXT", "stall in a body");
    ifc::send_raw(c, body.substr(0, 1024));
    expect_bytes(c, "NEXT", "stall in a body");
    std::string rest;
    EXPECT_EQ(ifc::recv_until_closed(c, rest), ifc::Result::ok);
    EXPECT_EQ(rest, "") << "stall in a body";
}

// Every valid change is in the settings files.
void HostileClients::check_files() {
    const std::string ifc_image = slurp_file(dir_ / "ifc_set.set");
    ASSERT_EQ(ifc_image.size(), 800u);
    auto ifc_value = [&](const char* record, int c) {
        const size_t at = image_value_offset(ifc_image, record, c);
        EXPECT_NE(at, std::string::npos) << record;
        return at == std::string::npos ? -1 : image_word(ifc_image, at);
    };
    for (size_t i = 0; i < kSwitchSlots.size(); ++i) {
        EXPECT_EQ(ifc_value(kSwitchSlots[i].record, kSwitchSlots[i].colour), model_.switches[i])
            << kSwitches[i];
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ifc_value("STAT_1", i + 1), model_.stat[i]);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(ifc_value("Tot", n), model_.to[n - 1]) << "colour " << n;
        EXPECT_EQ(ifc_value("Twt", n), model_.tw[n - 1]) << "colour " << n;
    }
    EXPECT_EQ(ifc_value("STAT_2", 1), model_.hist[1]);
    EXPECT_EQ(ifc_value("STAT_2", 2), model_.hist[0]);
    EXPECT_EQ(ifc_value("STAT_2", 3), model_.hist[3]);
    EXPECT_EQ(ifc_value("STAT_2", 4), model_.hist[2]);

    const std::string valve_image = slurp_file(dir_ / "valve_fp.set");
    ASSERT_EQ(valve_image.size(), 8960u);
    for (size_t k = 0; k < model_.valve_keys.size(); ++k) {
        const std::string& key = model_.valve_keys[k];
        const std::string record = key == "pin_on" ? "VAL_pin_open" : "VAL_" + key;
        for (int n = 1; n <= 6; ++n) {
            const size_t at = image_value_offset(valve_image, record, n);
            ASSERT_NE(at, std::string::npos) << record;
            EXPECT_EQ(image_word(valve_image, at), model_.valve[n - 1][k])
                << record << " colour " << n;
        }
    }
}

TEST_F(HostileClients, ServerSurvivesAndKeepsEveryValidChange) {
    const auto started = std::chrono::steady_clock::now();
    load_model();
    ASSERT_FALSE(HasFatalFailure());

    stall_in_header();
    stall_in_body();
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        for (int i = 0; i < kHostilePerRound; ++i) hostile(pick(0, 11));
        ifc::Connection c = connect();
        valid_change(c);
        if (round % 10 == 0) check_one(c);
        ifc::disconnect(c);
        ASSERT_TRUE(server_.running())
            << "the server died: " << ServerProcess::describe(server_.status()) << " (seed "
            << seed_ << ")";
    }

    // Whole state, over the wire and on disk.
    ifc::Connection c = connect();
    expect_get(c, "IFC_get_select_item", model_.select_item_reply());
    expect_get(c, "IFC_get_stat", model_.stat_reply());
    expect_get(c, "IFC_get_hst_select", model_.hst_select_reply());
    for (int n = 1; n <= 6; ++n) {
        expect_get(c, "IFC_get_Tot_Twt_" + std::to_string(n), model_.target_reply(n));
        expect_get(c, "IFC_get_on_off_" + std::to_string(n), model_.on_off_reply(n));
    }
    ifc::disconnect(c);
    check_files();
    EXPECT_TRUE(server_.running()) << ServerProcess::describe(server_.status());

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("hostile clients: %d hostile inputs, %d valid changes, %.1f s, seed %u\n", hostile_,
                valid_, seconds, seed_);
    RecordProperty("hostile_inputs", hostile_);
    RecordProperty("valid_changes", valid_);
}

}  // namespace
