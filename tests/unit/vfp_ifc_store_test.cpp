// The valve settings store: "valve_fp.set" with its 111 default records.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "scratch_dir.h"
#include "settings_image.h"
#include "vfp_ifc.h"

namespace {

using settings_image::value_offset;

struct Listed {
    std::string name;
    int32_t type, value, min, max;
    std::string group;
};

// The default records as listed, written out from the regular runs so the
// module's own table is checked against a second, independent transcription.
std::vector<Listed> listed_defaults() {
    std::vector<Listed> r = {
        {"VAL_pin_open", 1, 70, 0, 359, "g1"},   {"VAL_use_abs", 1, 0, 0, 359, "g2"},
        {"VAL_abs_rel", 1, 50, 0, 200, "g2"},    {"VAL_abs_on", 1, 215, 0, 359, "g2"},
        {"VAL_abs_off", 1, 255, 0, 359, "g2"},   {"VAL_pull_on", 1, 350, 0, 359, "g2"},
        {"VAL_ABS_TwK", 1, 230, 0, 359, "g2"},   {"VAL_main_on", 1, 90, 0, 359, "g1"},
        {"VAL_main_off", 1, 160, 0, 359, "g1"},  {"VAL_tandem_on", 1, 95, 0, 359, "g1"},
        {"VAL_tandem_off", 1, 150, 0, 359, "g1"}, {"VAL_cutter_on", 1, 20, 0, 359, "g3"},
        {"VAL_cutter_off", 1, 180, 0, 359, "g3"}, {"VAL_cutting_blow_on", 1, 30, 0, 359, "g3"},
        {"VAL_cutting_blow_off", 1, 60, 0, 359, "g3"},
    };
    const std::pair<int, int> sub_on_off[8] = {{95, 135},  {115, 155}, {135, 175}, {150, 190},
                                               {165, 205}, {185, 280}, {200, 300}, {220, 300}};
    for (int n = 1; n <= 20; ++n) {
        const auto [on, off] = n <= 8 ? sub_on_off[n - 1] : std::pair{0, 0};
        r.push_back({"VAL_sub" + std::to_string(n) + "_on", 1, on, 0, 359, "g4"});
        r.push_back({"VAL_sub" + std::to_string(n) + "_off", 1, off, 0, 359, "g4"});
    }
    for (const char* name : {"VAL_stretch_on", "VAL_stretch_off", "VAL_strech_blow_on",
                             "VAL_strech_blow_off"}) {
        r.push_back({name, 1, 0, 0, 359, "g4"});
    }
    for (const char* ex : {"main", "s1", "s2", "s3", "s4", "s5", "s6"}) {
        r.push_back({std::string("VAL_exhaust_") + ex + "_on", 1, 0, 0, 359, "g5"});
        r.push_back({std::string("VAL_exhaust_") + ex + "_off", 1, 0, 0, 359, "g5"});
    }
    for (int n = 1; n <= 20; ++n) r.push_back({"VAL_press" + std::to_string(n), 1, 0, 0, 359, "g4"});
    r.push_back({"VAL_stretch_press", 1, 0, 0, 359, "g4"});
    for (const char* name : {"VAL_air_on", "VAL_air_off", "VAL_absg_on", "VAL_absg_off",
                             "VAL_breeze_on", "VAL_breeze_off"}) {
        r.push_back({name, 1, 0, 0, 300, "g5"});
    }
    r.push_back({"VAL_1st_ctrl", 1, 0, 0, 1, "g5"});
    r.push_back({"VAL_1st_twi", 1, 220, 190, 280, "g5"});
    r.push_back({"VAL_1st_subN", 1, 2, 1, 2, "g5"});
    for (const char* name : {"main", "tandem"}) {
        r.push_back({std::string("VAL_1st_") + name + "_on", 1, 0, 0, 359, "g1"});
        r.push_back({std::string("VAL_1st_") + name + "_off", 1, 0, 0, 359, "g1"});
    }
    r.push_back({"VAL_1st_abs_on", 1, 0, 0, 359, "g2"});
    r.push_back({"VAL_1st_abs_off", 1, 0, 0, 359, "g2"});
    r.push_back({"VAL_1st_apc_drop", 2, 0, -10, 0, "g5"});
    r.push_back({"VAL_1st_apc_drop_MPA", 3, 0, -10, 0, "g5"});
    return r;
}

std::string default_image() {
    std::string image;
    for (const Listed& l : listed_defaults()) {
        settings_image::put_record(image, l.type, l.name,
                                   {l.value, l.value, l.value, l.value, l.value, l.value}, l.min,
                                   l.max, l.group);
    }
    settings_image::put_terminator(image);
    return image;
}

class VfpStore : public ScratchDir {};

}  // namespace

TEST_F(VfpStore, FirstReadCreatesTheDefaultFile) {
    const mode_t old_mask = umask(022);
    int out = 0;
    EXPECT_EQ(VfpRead("VAL_main_on", &out, 1), 0);
    umask(old_mask);
    EXPECT_EQ(out, 90);

    ASSERT_EQ(listed_defaults().size(), 111u);
    const std::string expected = default_image();
    ASSERT_EQ(expected.size(), 8960u);
    const std::string file = read_file("valve_fp.set");
    EXPECT_EQ(file.size(), 8960u);
    for (size_t n = 0; n < 112; ++n) {  // record by record, for a readable failure
        EXPECT_EQ(file.substr(80 * n, 80), expected.substr(80 * n, 80)) << "record " << n;
    }
    struct stat st {};
    ASSERT_EQ(stat("valve_fp.set", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    for (const Listed& l : listed_defaults()) {
        for (int c = 1; c <= 6; ++c) {
            out = -99;
            EXPECT_EQ(VfpRead(l.name.c_str(), &out, c), 0) << l.name;
            EXPECT_EQ(out, l.value) << l.name;
        }
    }
    // The odd spellings are the names; the regular ones are not.
    for (const char* name : {"VAL_stretch_blow_on", "VAL_abs_TwK", "VAL_exhaust_s7_on"}) {
        EXPECT_EQ(VfpRead(name, &out, 1), -1) << name;
    }
}

TEST_F(VfpStore, WritesAreSavedUnboundedAndLostWithAShortFile) {
    EXPECT_EQ(VfpWrite("VAL_main_on", 400, 2), 0);  // max is 359
    EXPECT_EQ(VfpWrite("VAL_1st_apc_drop_MPA", -11, 6), 0);
    EXPECT_EQ(VfpWrite("VAL_main", 1, 2), -1);
    std::string expected = default_image();
    expected.replace(value_offset(7, 2), 4, std::string("\x90\x01\0\0", 4));
    expected.replace(value_offset(110, 6), 4, std::string("\xf5\xff\xff\xff", 4));
    EXPECT_EQ(read_file("valve_fp.set"), expected);
    int out = 0;
    EXPECT_EQ(VfpRead("VAL_main_on", &out, 2), 0);
    EXPECT_EQ(out, 400);

    write_file("valve_fp.set", expected.substr(0, 8959));  // one byte short
    EXPECT_EQ(VfpRead("VAL_main_on", &out, 2), 0);
    EXPECT_EQ(out, 90);
    EXPECT_EQ(read_file("valve_fp.set"), default_image());
}

TEST_F(VfpStore, LongFileIsUsedAndCutAtTheNextWrite) {
    std::string image = default_image();
    image[value_offset(0, 4)] = 71;  // VAL_pin_open colour 4
    write_file("valve_fp.set", image + std::string(40, '\x7f'));
    int out = 0;
    EXPECT_EQ(VfpRead("VAL_pin_open", &out, 4), 0);
    EXPECT_EQ(out, 71);
    EXPECT_EQ(read_file("valve_fp.set").size(), 9000u);
    EXPECT_EQ(VfpWrite("VAL_pin_open", 72, 5), 0);
    image[value_offset(0, 5)] = 72;
    EXPECT_EQ(read_file("valve_fp.set"), image);
}

// Under a file-size limit too small for the table, a write reports success,
// the save fails without killing the process, and the file keeps the
// previous image, so the next access loads the old value.
TEST_F(VfpStore, SaveBeyondTheFileSizeLimitKeepsThePreviousFile) {
    ASSERT_EQ(VfpWrite("VAL_main_on", 123, 2), 0);
    const std::string before = read_file("valve_fp.set");
    const settings_image::ChildResult r = settings_image::run_child([](std::vector<int>& v) {
        const rlimit limit{4096, 4096};
        v.push_back(setrlimit(RLIMIT_FSIZE, &limit));
        v.push_back(VfpWrite("VAL_main_on", 456, 2));
        int out = -1;
        v.push_back(VfpRead("VAL_main_on", &out, 2));
        v.push_back(out);
    });
    ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
    EXPECT_EQ(r.values, (std::vector<int>{0, 0, 0, 123}));
    EXPECT_EQ(read_file("valve_fp.set"), before);
    EXPECT_FALSE(std::filesystem::exists("valve_fp.set.tmp"));
}

// A child counts VAL_main_on colour 2 up by one per write, as fast as it can,
// and is killed with SIGKILL after a random delay, again and again. After
// every kill the file is a whole table: the defaults with a value no lower
// than after the previous kill (a finished save is never undone). At most
// one stray temporary file is left, and the next save reuses it.
TEST_F(VfpStore, KilledWhileSavingNeverLeavesAWrongSizedFile) {
    using namespace std::chrono;
    int value = 0;
    ASSERT_EQ(VfpRead("VAL_main_on", &value, 2), 0);
    const std::string defaults = default_image();
    const size_t offset = value_offset(7, 2);

    std::mt19937 rng(9001);
    std::uniform_int_distribution<int> delay_us(0, 8000);
    const auto deadline = steady_clock::now() + seconds(10);
    int kills = 0;
    int stray = 0;
    for (; kills < 200 && steady_clock::now() < deadline; ++kills) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;) {
                int v = 0;
                VfpRead("VAL_main_on", &v, 2);
                VfpWrite("VAL_main_on", v + 1, 2);
            }
        }
        usleep(static_cast<useconds_t>(delay_us(rng)));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        const std::string file = read_file("valve_fp.set");
        ASSERT_EQ(file.size(), 8960u) << "after kill " << kills;
        const int now = settings_image::word_at(file, offset);
        ASSERT_GE(now, value) << "after kill " << kills;
        value = now;
        std::string expected = defaults;
        expected.replace(offset, 4, file.substr(offset, 4));
        ASSERT_EQ(file, expected) << "after kill " << kills;
        if (std::filesystem::exists("valve_fp.set.tmp")) ++stray;
    }
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        EXPECT_TRUE(e.path().filename() == "valve_fp.set" ||
                    e.path().filename() == "valve_fp.set.tmp")
            << e.path();
        ++entries;
    }
    EXPECT_LE(entries, 2);
    std::printf("%d kills, %d saves completed, %d left a temporary file\n", kills, value - 90,
                stray);
}
