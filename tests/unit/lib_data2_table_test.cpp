// The parameter-table operations: record layout, lookup rules and bounds,
// the value operations and the two change operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "lib_data2.h"
#include "settings_image.h"

namespace {

i4_entry make(int type, const char* name, std::array<int32_t, 6> values = {}, int min = 0,
              int max = 359) {
    i4_entry e{};
    e.type = type;
    std::memcpy(e.name, name, std::min(std::strlen(name), sizeof e.name));  // 32 bytes: no NUL
    for (int c = 0; c < 6; ++c) e.value[c] = values[c];
    e.min = min;
    e.max = max;
    std::memcpy(e.group, "g4", 2);
    return e;
}

bool same_bytes(std::span<const i4_entry> a, std::span<const i4_entry> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

}  // namespace

// The record in memory is byte for byte the file record: compare a filled
// record with an image built independently.
TEST(ParameterRecord, LayoutMatchesTheFileRecord) {
    EXPECT_EQ(sizeof(i4_entry), 80u);
    EXPECT_EQ(offsetof(i4_entry, type), 0u);
    EXPECT_EQ(offsetof(i4_entry, name), 4u);
    EXPECT_EQ(offsetof(i4_entry, value), 36u);
    EXPECT_EQ(offsetof(i4_entry, min), 60u);
    EXPECT_EQ(offsetof(i4_entry, max), 64u);
    EXPECT_EQ(offsetof(i4_entry, group), 68u);
    EXPECT_EQ(offsetof(i4_entry, reserved), 72u);

    const i4_entry rec = make(3, "VAL_1st_apc_drop", {-1, 2, 0x01020304, -10, 359, INT_MIN}, -10, 0);
    std::string expected;
    settings_image::put_record(expected, 3, "VAL_1st_apc_drop", {-1, 2, 0x01020304, -10, 359, INT_MIN},
                               -10, 0, "g4");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&rec), sizeof rec), expected);
}

// A table with the awkward cases side by side: names that are prefixes of
// each other, refused types, a repeated name, a record behind the terminator.
class TableLookup : public ::testing::Test {
protected:
    std::vector<i4_entry> table{
        make(1, "VAL_sub1_on", {1, 2, 3, 4, 5, 6}),
        make(1, "Tot", {10, 20, 30, 40, 50, 60}),
        make(6, "six", {6, 6, 6, 6, 6, 6}),
        make(-1, "negative", {7, 7, 7, 7, 7, 7}),
        make(INT_MIN, "lowest", {8, 8, 8, 8, 8, 8}),
        make(6, "twice", {9, 9, 9, 9, 9, 9}),
        make(1, "twice", {11, 11, 11, 11, 11, 11}),
        make(5, "dup", {12, 12, 12, 12, 12, 12}),
        make(1, "dup", {13, 13, 13, 13, 13, 13}),
        i4_entry{},
        make(1, "behind", {14, 14, 14, 14, 14, 14}),
    };
};

TEST_F(TableLookup, ValueOperationsFollowTheLookupRules) {
    struct Case {
        const char* name;
        int c;
        int record;  // index of the value that is used, or -1 for a refusal
    };
    const Case cases[] = {
        {"VAL_sub1_on", 1, 0}, {"VAL_sub1_on", 6, 0}, {"Tot", 3, 1}, {"dup", 2, 7},
        {"VAL_sub1", 1, -1},     // a prefix is not the name
        {"VAL_sub1_on_", 1, -1}, // nor is a longer name
        {"tot", 1, -1},          // case matters
        {"", 1, -1},
        {"six", 1, -1}, {"negative", 1, -1}, {"lowest", 1, -1},
        {"twice", 1, -1},        // the first record of a name wins, even when refused
        {"behind", 1, -1},       // nothing behind the terminator is seen
        {"Tot", 0, -1}, {"Tot", 7, -1}, {"Tot", -1, -1}, {"Tot", INT_MIN, -1}, {"Tot", INT_MAX, -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + " colour " + std::to_string(k.c));
        const std::vector<i4_entry> before = table;
        const int expected = k.record < 0 ? -1 : 0;
        const int stored = k.record < 0 ? 0 : table[k.record].value[k.c - 1];

        int out = 12345;
        EXPECT_EQ(fp_main_read(k.name, &out, k.c, table), expected);
        EXPECT_EQ(out, k.record < 0 ? 12345 : stored);

        EXPECT_EQ(fp_main_compare(k.name, stored, k.c, table), expected);
        EXPECT_EQ(fp_main_compare(k.name, stored + 1, k.c, table), -1);

        // 400 is above every max: writes store it anyway, and change nothing else.
        EXPECT_EQ(fp_main_write(k.name, 400, k.c, table), expected);
        std::vector<i4_entry> after = before;
        if (k.record >= 0) after[k.record].value[k.c - 1] = 400;
        EXPECT_TRUE(same_bytes(table, after));
        table = before;
    }
}

TEST_F(TableLookup, EmptyTableFindsNothing) {
    table[0].type = 0;
    const std::vector<i4_entry> before = table;
    int out = 5;
    EXPECT_EQ(fp_main_read("Tot", &out, 1, table), -1);
    EXPECT_EQ(fp_main_write("Tot", 1, 1, table), -1);
    EXPECT_EQ(fp_main_compare("Tot", 20, 1, table), -1);
    change_i4_min_max(table, "Tot", 0, 1);
    change_i4_type(table, "six", 1);
    EXPECT_TRUE(same_bytes(table, before));
    EXPECT_EQ(out, 5);
}

// An image from a file may have no terminator and names that fill all 32
// bytes. The lookup stops at the capacity the span gives and compares no
// further than the name field; bytes behind stay unread and unchanged.
TEST(TableBounds, StopsAtCapacityAndAtTheNameField) {
    const std::string full(32, 'A');
    std::vector<i4_entry> image{
        make(1, full.c_str(), {0x00414141, 1, 2, 3, 4, 5}),  // "AAA\0" right behind the name
        make(1, "B", {6, 6, 6, 6, 6, 6}),
        make(1, "beyond", {7, 7, 7, 7, 7, 7}),  // outside the span below
    };
    ASSERT_EQ(std::memchr(image[0].name, '\0', 32), nullptr);
    const std::span<i4_entry> table(image.data(), 2);
    const std::vector<i4_entry> before = image;

    int out = -7;
    EXPECT_EQ(fp_main_read((full + "AAA").c_str(), &out, 1, table), -1);
    EXPECT_EQ(fp_main_read(full.substr(1).c_str(), &out, 1, table), -1);
    EXPECT_EQ(fp_main_read("beyond", &out, 1, table), -1);
    EXPECT_EQ(fp_main_write("beyond", 1, 1, table), -1);
    change_i4_min_max(table, "beyond", 0, 1);
    change_i4_type(table, "beyond", 2);
    EXPECT_EQ(out, -7);
    EXPECT_TRUE(same_bytes(image, before));

    // A table that ends without terminator where its storage ends: a scan
    // past the capacity would read outside it (sanitizer builds report it).
    std::vector<i4_entry> exact(image.begin(), image.begin() + 2);
    EXPECT_EQ(fp_main_read("missing", &out, 1, exact), -1);
    change_i4_min_max(exact, "missing", 0, 1);
    EXPECT_TRUE(same_bytes(exact, table));

    // The whole 32-byte field is the name when it has no NUL.
    EXPECT_EQ(fp_main_read(full.c_str(), &out, 2, table), 0);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(fp_main_read("B", &out, 1, table), 0);
    EXPECT_EQ(out, 6);
}

TEST(ChangeMinMax, ClampsUpThenDownAndStoresBoundsAsGiven) {
    struct Case {
        std::array<int32_t, 6> values;
        int min, max;
        std::array<int32_t, 6> expected;
    };
    const Case cases[] = {
        {{-5, 0, 50, 100, 101, 300}, 0, 100, {0, 0, 50, 100, 100, 100}},
        {{-5, 0, 50, 100, 101, 300}, 10, 5, {5, 5, 5, 5, 5, 5}},  // min above max: all at max
        {{INT_MIN, -2, -1, 1, 2, INT_MAX}, -1, 1, {-1, -1, -1, 1, 1, 1}},  // signed comparisons
        {{3, 3, 3, 3, 3, 3}, INT_MIN, INT_MAX, {3, 3, 3, 3, 3, 3}},
    };
    for (const Case& k : cases) {
        std::vector<i4_entry> table{make(1, "first"), make(6, "x", k.values, 0, 359), i4_entry{}};
        i4_entry expected = table[1];
        expected.min = k.min;
        expected.max = k.max;
        for (int c = 0; c < 6; ++c) expected.value[c] = k.expected[c];

        change_i4_min_max(table, "x", k.min, k.max);  // refused type 6 is changed too
        EXPECT_TRUE(same_bytes(std::span(&table[1], 1), std::span(&expected, 1)))
            << "min " << k.min << " max " << k.max;
    }
}

TEST(ChangeMinMax, MissingNameChangesNothing) {
    std::vector<i4_entry> table{make(1, "x", {-5, 0, 50, 100, 101, 300}), i4_entry{},
                                make(1, "y", {-5, 0, 50, 100, 101, 300})};
    const std::vector<i4_entry> before = table;
    change_i4_min_max(table, "X", 0, 1);
    change_i4_min_max(table, "y", 0, 1);
    EXPECT_TRUE(same_bytes(table, before));
}

TEST_F(TableLookup, ChangeTypeOnlyToUsableTypesAndOnlyTheFirstRecord) {
    const std::vector<i4_entry> before = table;
    for (int type : {0, 6, -1, INT_MIN}) change_i4_type(table, "Tot", type);
    change_i4_type(table, "behind", 2);
    change_i4_type(table, "missing", 2);
    EXPECT_TRUE(same_bytes(table, before));

    change_i4_type(table, "six", 1);  // a refused record becomes readable
    int out = 0;
    EXPECT_EQ(fp_main_read("six", &out, 4, table), 0);
    EXPECT_EQ(out, 6);

    change_i4_type(table, "twice", 5);
    EXPECT_EQ(table[5].type, 5);
    EXPECT_EQ(table[6].type, 1);
    EXPECT_EQ(fp_main_read("twice", &out, 1, table), 0);
    EXPECT_EQ(out, 9);

    change_i4_type(table, "negative", 3);
    EXPECT_EQ(table[3].type, 3);
}
