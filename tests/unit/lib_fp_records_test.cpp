// The constant attribute and option records of lib_fp, byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "lib_fp.h"

namespace {

template <std::size_t N>
void put_le32(std::array<unsigned char, N>& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

template <std::size_t N>
void put_le16(std::array<unsigned char, N>& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

template <std::size_t N>
void put_text(std::array<unsigned char, N>& bytes, std::size_t at, const char* text) {
    std::memcpy(&bytes[at], text, std::strlen(text));
}

// Hex dump, so a mismatch shows where.
std::string hex(const void* data, std::size_t size) {
    std::string out;
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        char two[4];
        std::snprintf(two, sizeof two, "%02x%s", p[i], (i % 16 == 15) ? "\n" : " ");
        out += two;
    }
    return out;
}

TEST(AttributeRecords, CellLayoutsAreExact) {
    struct Case {
        const char* name;
        const mtbl_attr& record;
        uint32_t width, show_error;
        uint16_t refresh_kind, refresh_step;
    };
    const Case cases[] = {
        {"default_1", mtbl_attr_default_1, 52, 1, 0, 0},
        {"default_2", mtbl_attr_default_2, 90, 1, 0, 0},
        {"default_img", mtbl_attr_default_img, 70, 1, 0, 0},
        {"no_perror_1", mtbl_attr_no_perror_1, 52, 0, 0, 0},
        {"no_perror_img", mtbl_attr_no_perror_img, 70, 0, 0, 0},
        {"no_perror_2", mtbl_attr_no_perror_2, 90, 0, 0, 0},
        {"refresh1", mtbl_attr_refresh1, 70, 0, 1, 1},
        {"refresh2", mtbl_attr_refresh2, 70, 0, 1, 2},
        {"refresh3", mtbl_attr_refresh3, 70, 0, 1, 3},
        {"refresh2_1", mtbl_attr_refresh2_1, 70, 0, 2, 1},
        {"refresh2_2", mtbl_attr_refresh2_2, 70, 0, 2, 2},
        {"refresh2_3", mtbl_attr_refresh2_3, 70, 0, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<unsigned char, 108> expected{};
        put_le32(expected, 0, c.width);
        put_text(expected, 4, "#FFE4C4");
        put_text(expected, 12, "#000000");
        put_text(expected, 20, "middle");
        put_text(expected, 30, "center");
        put_text(expected, 40, "center");
        put_le32(expected, 52, 1);
        put_le32(expected, 64, c.show_error);
        put_le16(expected, 68, c.refresh_kind);
        put_le16(expected, 70, c.refresh_step);
        ASSERT_EQ(sizeof c.record, expected.size());
        EXPECT_EQ(std::memcmp(&c.record, expected.data(), expected.size()), 0)
            << "got\n" << hex(&c.record, sizeof c.record) << "want\n"
            << hex(expected.data(), expected.size());
    }
}

TEST(AttributeRecords, OptionRecordsAreExact) {
    std::array<unsigned char, 24> table_default{};
    put_le32(table_default, 20, 12);
    std::array<unsigned char, 24> script_default{};
    put_le32(script_default, 4, 1);
    const std::array<unsigned char, 24> zero{};

    struct Case {
        const char* name;
        const void* record;
        std::size_t size;
        const std::array<unsigned char, 24>& expected;
    };
    const Case cases[] = {
        {"tbl_opt_default", &tbl_opt_default, sizeof tbl_opt_default, table_default},
        {"js_opt_clr", &js_opt_clr, sizeof js_opt_clr, zero},
        {"js_opt_default_1", &js_opt_default_1, sizeof js_opt_default_1, script_default},
        {"lib_fp_js_opt", &lib_fp_js_opt, sizeof lib_fp_js_opt, zero},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.size, 24u);
        EXPECT_EQ(std::memcmp(c.record, c.expected.data(), 24), 0) << hex(c.record, 24);
    }
}

TEST(AttributeRecords, RadioPairs) {
    struct Case {
        const char* name;
        const rdoyn_attr& record;
        std::array<unsigned char, 4> values;  // the two 16-bit integers
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"y_n", rdoyn_attr_y_n, {1, 0, 0, 0}, nullptr, nullptr},
        {"i_c", rdoyn_attr_i_c, {0, 0, 1, 0}, "inch", "cm"},
        {"a_s", rdoyn_attr_a_s, {0, 0, 1, 0}, "ALL", "SET"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::memcmp(&c.record, c.values.data(), 4), 0);
        if (c.first == nullptr) {
            EXPECT_EQ(c.record.label_first, nullptr);
            EXPECT_EQ(c.record.label_second, nullptr);
        } else {
            EXPECT_STREQ(c.record.label_first, c.first);
            EXPECT_STREQ(c.record.label_second, c.second);
        }
        const unsigned char zero[4] = {};
        EXPECT_EQ(std::memcmp(&c.record.reserved, zero, 4), 0);
    }
}

TEST(AttributeRecords, ReservedTitleIsZero) {
    const char zero[MAC_TITLE_SIZE] = {};
    EXPECT_EQ(std::memcmp(mac_title, zero, sizeof mac_title), 0);
}

}  // namespace
