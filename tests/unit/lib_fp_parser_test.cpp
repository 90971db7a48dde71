// The key:value list parser: splitting, the key/value split and its limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "lib_fp.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// Parses a copy of `text` (with its NUL) and returns the rows up to the first
// row with both fields empty (a token that starts with a colon leaves an
// empty key with a value: it ends the list for the callers, but it is still a
// row of its own). Fails the test if any byte of a later row is not zero or
// if a stored field lacks its NUL.
Rows parse(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    line2matrix2(buffer.data());
    Rows rows;
    int n = 0;
    while (n < L2M2_ROWS && (l2m2[n].key[0] != '\0' || l2m2[n].value[0] != '\0')) ++n;
    for (int i = 0; i < n; ++i) {
        const l2m2_row& row = l2m2[i];
        EXPECT_NE(std::memchr(row.key, '\0', sizeof row.key), nullptr) << "row " << i;
        EXPECT_NE(std::memchr(row.value, '\0', sizeof row.value), nullptr) << "row " << i;
        rows.emplace_back(row.key, row.value);
    }
    for (int i = n; i < L2M2_ROWS; ++i) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&l2m2[i]);
        for (std::size_t b = 0; b < sizeof(l2m2_row); ++b) {
            if (bytes[b] != 0) {
                ADD_FAILURE() << "row " << i << " byte " << b << " not zero";
                return rows;
            }
        }
    }
    return rows;
}

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

}  // namespace

TEST(LineToMatrix, SplitsTokensAtSpacesAndTheFirstColon) {
    struct Case {
        const char* name;
        std::string text;
        Rows rows;
    };
    const Case cases[] = {
        {"two items", "main_on:120 main_off:200", {{"main_on", "120"}, {"main_off", "200"}}},
        {"runs, leading and trailing spaces", "  a:1   b:2  ", {{"a", "1"}, {"b", "2"}}},
        {"empty text", "", {}},
        {"spaces only", "     ", {}},
        {"empty value", "main_on:", {{"main_on", ""}}},
        {"later colons belong to the value", "t:1:2::", {{"t", "1:2::"}}},
        {"empty key keeps its row", ":5 main_on:10", {{"", "5"}, {"main_on", "10"}}},
        {"line feeds, tabs and CRs are token characters", "main_on:5\nmain_off:7\t\r x:1",
         {{"main_on", "5\nmain_off:7\t\r"}, {"x", "1"}}},
        {"equal keys both kept in order", "main_on:5 main_on:7", {{"main_on", "5"}, {"main_on", "7"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.text), c.rows) << c.name;
    }
}

// Any token that does not fit a row, or has no colon, is skipped whole and
// takes no row, so the tokens after it stay packed behind the ones before.
TEST(LineToMatrix, SkipsTokensThatDoNotFitAndKeepsRowsPacked) {
    const std::string key29 = repeat('k', 29);
    const std::string value49 = repeat('7', 49);
    struct Case {
        const char* name;
        std::string text;
        Rows rows;
    };
    const Case cases[] = {
        {"largest key and value fit (79-character token)", key29 + ":" + value49 + " b:2",
         {{key29, value49}, {"b", "2"}}},
        {"no colon", "a:1 main_on b:2", {{"a", "1"}, {"b", "2"}}},
        {"key of 30", "a:1 " + repeat('k', 30) + ":5 b:2", {{"a", "1"}, {"b", "2"}}},
        {"value of 50", "a:1 main_on:" + repeat('9', 50) + " b:2", {{"a", "1"}, {"b", "2"}}},
        {"token of 80", "a:1 " + key29 + ":" + repeat('7', 50) + " b:2", {{"a", "1"}, {"b", "2"}}},
        {"very long token", "a:1 " + repeat('x', 5000) + ":1 b:2", {{"a", "1"}, {"b", "2"}}},
        {"only skipped tokens", "nocolon " + repeat('k', 40) + ":1", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.text), c.rows) << c.name;
    }
}

TEST(LineToMatrix, StoresAtMost500TokensAndDropsTheRest) {
    std::string text;
    Rows expected;
    for (int i = 0; i < 520; ++i) {
        const std::string key = "k" + std::to_string(i);
        text += key + ":" + std::to_string(i) + " ";
        if (i < L2M2_ROWS) expected.emplace_back(key, std::to_string(i));
    }
    const Rows rows = parse(text);
    ASSERT_EQ(rows.size(), 500u);
    EXPECT_EQ(rows, expected);
}

TEST(LineToMatrix, ClearsTheRowsOfTheParseBefore) {
    parse("a:1 b:2 c:3 d:4");
    EXPECT_EQ(parse("x:9"), (Rows{{"x", "9"}}));
}

TEST(LineToMatrix, EndsEachTokenInPlaceLikeStrtok) {
    char text[] = "  a:1   b:2 ";
    line2matrix2(text);
    EXPECT_EQ(std::string(text, sizeof text), std::string("  a:1\0  b:2\0\0", 13));
}

// The parser keeps no hidden splitting state: a caller in the middle of its
// own strtok walk continues where it was.
TEST(LineToMatrix, LeavesACallersStrtokWalkAlone) {
    char outer[] = "one,two,three";
    char list[] = "a:1 b:2";
    std::vector<std::string> seen;
    seen.emplace_back(std::strtok(outer, ","));
    line2matrix2(list);
    for (char* t = std::strtok(nullptr, ","); t != nullptr; t = std::strtok(nullptr, ",")) {
        seen.emplace_back(t);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_STREQ(l2m2[1].key, "b");
}
