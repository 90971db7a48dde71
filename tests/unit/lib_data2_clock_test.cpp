// The local-time record of lib_data2: field order, month and year offsets,
// weekday, and the process's time zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "lib_data2.h"

namespace {

class Clock : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        had_tz_ = tz != nullptr;
        if (had_tz_) saved_tz_ = tz;
    }
    void TearDown() override {
        if (had_tz_) {
            setenv("TZ", saved_tz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static void use_zone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    bool had_tz_ = false;
    std::string saved_tz_;
};

struct Fields {
    int sec, min, hour, mday, mon, year, wday;
};

void expect_fields(const time_rec& t, const Fields& f) {
    EXPECT_EQ(t.sec, f.sec);
    EXPECT_EQ(t.min, f.min);
    EXPECT_EQ(t.hour, f.hour);
    EXPECT_EQ(t.mday, f.mday);
    EXPECT_EQ(t.mon, f.mon);
    EXPECT_EQ(t.year, f.year);
    EXPECT_EQ(t.wday, f.wday);
}

TEST_F(Clock, BreaksAnInstantIntoLocalFields) {
    struct Case {
        const char* what;
        const char* tz;
        std::time_t now;
        Fields expected;
    };
    const Case cases[] = {
        {"leap day, a Thursday", "UTC", 1709251198, {58, 59, 23, 29, 2, 2024, 4}},
        {"same wall time nine hours east", "XST-9", 1709251198 - 9 * 3600,
         {58, 59, 23, 29, 2, 2024, 4}},
        {"January, a Monday", "UTC", 1704067200, {0, 0, 0, 1, 1, 2024, 1}},
        {"31 December, a Sunday", "UTC", 1704067199, {59, 59, 23, 31, 12, 2023, 0}},
        {"one second later, the next day in UTC+1", "XST-1", 1704067199 - 3600 + 1,
         {0, 0, 0, 1, 1, 2024, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        use_zone(c.tz);
        time_rec t{};
        what_time_from(c.now, &t);
        expect_fields(t, c.expected);
    }
}

TEST_F(Clock, WhatTimeReadsTheCurrentTime) {
    use_zone("UTC");
    const std::time_t before = std::time(nullptr);
    time_rec now{};
    what_time(&now);
    const std::time_t after = std::time(nullptr);

    time_rec at_before{}, at_after{};
    what_time_from(before, &at_before);
    what_time_from(after, &at_after);
    auto same = [](const time_rec& a, const time_rec& b) {
        return a.sec == b.sec && a.min == b.min && a.hour == b.hour && a.mday == b.mday &&
               a.mon == b.mon && a.year == b.year && a.wday == b.wday;
    };
    EXPECT_TRUE(same(now, at_before) || same(now, at_after));
}

}  // namespace
