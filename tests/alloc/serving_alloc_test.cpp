// The server allocates nothing on the heap while it serves: the connection
// loop runs in a child of this binary, whose malloc counts (see
// counting_allocator.h), and serves every command, the failure paths of
// the protocol and the re-creation of missing settings files.
//
// Start-up: the child prints one console line and flushes it before it
// starts counting, so that stdio's buffer for standard output exists (a
// child forked from the test usually inherits it anyway). Everything from
// the first "waiting... " on is counted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "counting_allocator.h"
#include "ether_parse.h"
#include "loop_server.h"

namespace {

class ServingAllocations : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        alloc_count::share();
    }
    void TearDown() override {
        server_.stop();
        ScratchDir::TearDown();
    }

    // What the counter saw, for failure messages.
    static std::string counted() {
        std::string text = std::to_string(alloc_count::total()) + " allocation(s); sizes:";
        for (int i = 0; i < alloc_count::KEPT_SIZES && i < alloc_count::total(); ++i)
            text += " " + std::to_string(alloc_count::size_of(i));
        return text;
    }

    LoopServer server_;
};

void warm_up_then_count() {
    std::fputs("counting heap allocations from here\n", stdout);
    std::fflush(stdout);
    alloc_count::arm();
}

// A valid payload for each PUT command, by name prefix.
std::string payload_for(std::string_view name) {
    constexpr std::pair<std::string_view, std::string_view> payloads[] = {
        {"MLETOFF_set_btnstat", "1"},
        {"IFC_set_select_item", "pin:1"},
        {"IFC_set_stat", "color:2 mode:1 totw_sw:1"},
        {"IFC_set_to_tw_", "to:95 tw:245"},
        {"IFC_set_on_off_", "main_on:100 main_off:170 sub18_off:5 nokey:1"},
        {"IFC_hst_select_item", "LEFT 3 tb2"},
        {"IFC_hst_clear", "2 tw"},
        {"IFC_hst_set", "1 to 0 2 tw 0 100"},
    };
    for (const auto& [prefix, payload] : payloads)
        if (name.substr(0, prefix.size()) == prefix) return std::string(payload);
    ADD_FAILURE() << "no payload for " << name;
    return {};
}

std::string trimmed(const char* padded) {
    std::string name(padded, 20);
    return name.substr(0, name.find(' '));
}

// Sends a header that makes the server close the connection, and waits
// until it has.
void closing_header(ifc::Connection& c, std::string_view bytes) {
    ASSERT_EQ(ifc::send_raw(c, bytes), ifc::Result::ok);
    std::string rest;
    EXPECT_EQ(ifc::recv_until_closed(c, rest), ifc::Result::ok);
}

}  // namespace

TEST_F(ServingAllocations, ServingEveryCommandAndFailureAllocatesNothing) {
    ASSERT_TRUE(server_.start(dir_, warm_up_then_count));
    ifc::Connection c = server_.connect();
    std::string reply;

    // Every command twice: settings files created from the defaults first,
    // then loaded, changed and saved.
    for (int round = 0; round < 2; ++round) {
        for (const auto* row = get_commands; row->name != nullptr; ++row)
            ASSERT_EQ(ifc::get(c, trimmed(row->name), reply), ifc::Result::ok) << row->name;
        for (const auto* row = put_commands; row->name != nullptr; ++row)
            ASSERT_EQ(ifc::put(c, row->name, payload_for(row->name)), ifc::Result::ok) << row->name;
    }
    ASSERT_EQ(ifc::put(c, "IFC_set_select_item", "all:0"), ifc::Result::ok);
    ASSERT_EQ(ifc::get(c, "IFC_get_stat", reply), ifc::Result::ok);
    EXPECT_EQ(reply, "color:2 mode:1 totw_sw:1 ");  // the PUTs were served

    // Settings files gone, or cut short: the defaults are saved again.
    ASSERT_EQ(std::remove("valve_fp.set"), 0);
    write_file("ifc_set.set", "short");
    ASSERT_EQ(ifc::get(c, "IFC_get_on_off_2", reply), ifc::Result::ok);
    ASSERT_EQ(ifc::get(c, "IFC_get_Tot_Twt_3", reply), ifc::Result::ok);
    EXPECT_EQ(reply, "to:90 tw:240 ");

    // The largest body, a body naming no command, a body without its NUL, a
    // length too large, an empty body, PING.
    ASSERT_EQ(ifc::put(c, "MLETOFF_set_btnstat", std::string(256000 - 20, 'x')), ifc::Result::ok);
    ASSERT_EQ(ifc::put(c, "NO_such_command", "1"), ifc::Result::ok);
    ASSERT_EQ(ifc::send_raw(c, ifc::header("PUT", "5")), ifc::Result::ok);
    ASSERT_EQ(ifc::recv_exact(c, 4, reply), ifc::Result::ok);
    ASSERT_EQ(ifc::send_raw(c, "nonul"), ifc::Result::ok);
    ASSERT_EQ(ifc::recv_exact(c, 3, reply), ifc::Result::ok);
    EXPECT_EQ(reply, "FIN");
    ASSERT_EQ(ifc::send_raw(c, ifc::header("PUT", "256001")), ifc::Result::ok);
    ASSERT_EQ(ifc::recv_exact(c, 4, reply), ifc::Result::ok);
    EXPECT_EQ(reply, "ERR!");
    ASSERT_EQ(ifc::send_raw(c, ifc::header("PUT", "0")), ifc::Result::ok);
    ASSERT_EQ(ifc::recv_exact(c, 3, reply), ifc::Result::ok);
    EXPECT_EQ(reply, "FIN");
    ASSERT_EQ(ifc::ping(c), ifc::Result::ok);

    // Ends of a connection: an unknown GET name, an unknown verb, a short
    // header, DISCONNECT; each followed by a new connection.
    closing_header(c, ifc::header("GET", "IFC_get_nothing     ", ' '));
    c = server_.connect();
    closing_header(c, ifc::header("HELLO"));
    c = server_.connect();
    ASSERT_EQ(ifc::send_raw(c, "GETIFC"), ifc::Result::ok);
    c.close();
    c = server_.connect();
    ASSERT_EQ(ifc::disconnect(c), ifc::Result::ok);
    c = server_.connect();
    ASSERT_EQ(ifc::get(c, "IFC_get_stat", reply), ifc::Result::ok);  // all of the above served

    EXPECT_EQ(alloc_count::total(), 0) << counted();
}

// The counter sees what the serving child allocates and reports it back.
TEST_F(ServingAllocations, TheCounterSeesAllocationsOfTheServingChild) {
    ASSERT_TRUE(server_.start(dir_, [] {
        alloc_count::arm();
        // Through the C library's malloc; kept in a volatile so that the
        // compiler cannot drop the pair.
        char* volatile copy = strdup("an allocation in the child");
        free(copy);
    }));
    ifc::Connection c = server_.connect();
    std::string reply;
    ASSERT_EQ(ifc::get(c, "IFC_get_stat", reply), ifc::Result::ok);
    EXPECT_EQ(alloc_count::total(), 1) << counted();
    EXPECT_EQ(alloc_count::size_of(0), std::strlen("an allocation in the child") + 1);
}
