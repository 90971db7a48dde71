// The simulated measurement source of ifc_net: the measurement block, the
// histogram record and the console lines of the histogram requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

#include "console_capture.h"
#include "ifc_net.h"

namespace {

using block = std::array<int32_t, INFO_BLOCK_WORDS>;

constexpr int32_t UNTOUCHED = -7;

block filled(int32_t start) {
    block b;
    b.fill(start);
    EXPECT_EQ(INFO_get(b.data()), 1000);
    return b;
}

// Two fills from within one clock second (retried across a second boundary).
std::pair<block, block> two_fills_in_one_second() {
    for (;;) {
        const std::time_t before = std::time(nullptr);
        block a = filled(0);
        block b = filled(0);
        if (std::time(nullptr) == before) return {a, b};
    }
}

double double_at(const block& b, int d) {
    const uint64_t low = static_cast<uint32_t>(b[162 + 2 * d]);
    const uint64_t high = static_cast<uint32_t>(b[163 + 2 * d]);
    return std::bit_cast<double>(low | high << 32);
}

}  // namespace

TEST(InfoGet, FixedWordsAndUntouchedWords) {
    const block b = filled(UNTOUCHED);
    // Fixed rows: to, tb1..tb3 (colours 1 and 2), row 9, tbw colours 1-2, tw.
    const std::array<std::array<int32_t, 6>, 10> rows = {{
        {92, 92, 92, 92, 92, 92},
        {128, 130, 0, 0, 0, 0},
        {164, 166, 0, 0, 0, 0},
        {190, 194, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
    }};
    for (int r = 0; r < 10; ++r)
        for (int k = 0; k < 6; ++k) EXPECT_EQ(b[7 * r + k], rows[r][k]) << "row " << r << " col " << k;
    EXPECT_EQ(b[126], 224);
    EXPECT_EQ(b[127], 228);
    EXPECT_EQ(b[133], 242);
    EXPECT_EQ(b[134], 252);
    for (int w = 135; w <= 138; ++w) EXPECT_EQ(b[w], 242) << w;
    for (int w = 152; w <= 157; ++w) EXPECT_EQ(b[w], 500) << w;
    EXPECT_EQ(b[159], 1000);

    // Words the fill never writes keep what the caller put there.
    std::set<int> untouched = {150, 158, 174, 175, 182, 183, 184, 185};
    for (int r = 0; r < 20; ++r) untouched.insert(7 * r + 6);
    for (int w = 70; w <= 125; ++w) untouched.insert(w);
    for (int w : untouched) EXPECT_EQ(b[w], UNTOUCHED) << "word " << w;
}

TEST(InfoGet, DrawnWordsInRange) {
    struct range {
        int first, last;
        int32_t lo, hi;
    };
    const range ranges[] = {
        {128, 131, 0, 359}, {140, 140, 1000, 1039}, {141, 141, 0, 359}, {142, 142, 980, 999},
        {143, 143, 1000, 1019}, {144, 149, 0, 99}, {151, 151, 0, 99}, {160, 161, 40, 59},
        {176, 181, 0, 99},
    };
    const block b = filled(0);
    for (const range& r : ranges)
        for (int w = r.first; w <= r.last; ++w) {
            EXPECT_GE(b[w], r.lo) << "word " << w;
            EXPECT_LE(b[w], r.hi) << "word " << w;
        }
    EXPECT_EQ(double_at(b, 0), 4.65);
    EXPECT_EQ(double_at(b, 1), 4.52);
    for (int d = 2; d < 6; ++d) {
        const double v = double_at(b, d);
        EXPECT_GE(v, 10.0) << d;
        EXPECT_LE(v, 19.99 + 1e-9) << d;
        // Whole part plus hundredths.
        EXPECT_NEAR(v * 100, std::round(v * 100), 1e-6) << d;
    }
}

TEST(InfoGet, SameSecondSameBlock) {
    const auto [a, b] = two_fills_in_one_second();
    EXPECT_EQ(a, b);
}

TEST(GetHisto, BellAndSummaryDependOnSideOnly) {
    std::array<int32_t, HISTO_BINS> bins{};
    const int32_t bell[] = {10, 30, 50, 120, 160, 210, 250, 280, 290, 300,
                            290, 280, 250, 210, 160, 120, 50, 30, 10};
    for (int i = 0; i < 19; ++i) bins[14 + i] = bell[i];

    struct side_case {
        int side, color, item;
        double summary;
    };
    const side_case cases[] = {
        {0, 1, 10, 4.65}, {0, 6, 99, 4.65}, {1, 2, 10, 4.52}, {-3, 0, 0, 4.52}, {7, 4, 11, 4.52},
    };
    for (const side_case& c : cases) {
        histo_rec h;
        std::memset(&h, 0x5a, sizeof h);  // every field must be overwritten
        EXPECT_EQ(get_histo(c.side, c.color, c.item, &h), 500);
        EXPECT_TRUE(std::equal(bins.begin(), bins.end(), h.bins)) << "side " << c.side;
        EXPECT_EQ(h.summary, c.summary) << "side " << c.side;
        EXPECT_EQ(h.word1, 500);
        EXPECT_EQ(h.word2, 234);
        EXPECT_EQ(h.word3, 500);
        EXPECT_EQ(h.word4, 190);
    }
}

TEST(HistoRequests, PrintTheirLineOnStandardOutput) {
    struct line_case {
        int (*print)();
        std::string line;
    };
    const line_case cases[] = {
        {[] { return clear_histo(2, 9); }, "clear_histo: color=2, item_no=9\n"},
        {[] { return clear_histo(-1, 12); }, "clear_histo: color=-1, item_no=12\n"},
        {[] { return set_histo(1, 1, 5, 2, 0, 6, 100); },
         "set_histo(L c=1, i=1, t=5, R c=2, i=0, t=6, samp=100)\n"},
        {[] { return set_histo(-1, 11, -2, 7, 10, 0, -300); },
         "set_histo(L c=-1, i=11, t=-2, R c=7, i=10, t=0, samp=-300)\n"},
    };
    for (const line_case& c : cases) {
        ConsoleCapture out(stdout);
        const int n = c.print();
        EXPECT_EQ(out.text(), c.line);
        EXPECT_EQ(n, static_cast<int>(c.line.size())) << c.line;
    }
}
