// Failing disks under the real executable on port 9001: a file-size limit,
// a read-only working directory, read-only settings files, and SIGKILL at
// random moments during a storm of changes.
//
// In every case the server must keep serving (it never dies of a signal of
// its own making: SIGXFSZ, SIGPIPE, SIGSEGV), never leave a settings file of
// the wrong size, and never fall back to the defaults while a whole earlier
// file existed. Root ignores file modes, so when the tests run as root the
// server of the permission cases runs as user nobody.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ifc_client.h"
#include "scratch_dir.h"
#include "server_process.h"

namespace {

constexpr size_t kIfcSize = 800;
constexpr size_t kValveSize = 8960;
const std::string kIfcFile = "ifc_set.set";
const std::string kValveFile = "valve_fp.set";

unsigned test_seed() {
    const char* env = std::getenv("TCP9001_SEED");
    return env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10))
               : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
}

class FailingDisk : public ScratchDir {
protected:
    void TearDown() override {
        server_.kill();
        ScratchDir::TearDown();
    }

    ifc::Connection connect(int timeout_ms = 5000) {
        ifc::Connection c;
        EXPECT_EQ(ifc::connect_to(c, "127.0.0.1", ServerProcess::kPort, timeout_ms),
                  ifc::Result::ok);
        return c;
    }
    std::string get(const std::string& name) {
        ifc::Connection c = connect();
        std::string reply;
        EXPECT_EQ(ifc::get(c, name, reply), ifc::Result::ok) << name;
        ifc::disconnect(c);
        return reply;
    }
    void put(const std::string& name, const std::string& payload) {
        ifc::Connection c = connect();
        EXPECT_EQ(ifc::put(c, name, payload), ifc::Result::ok) << name << " " << payload;
        ifc::disconnect(c);
    }
    // Makes both files with values other than the defaults, through a server
    // run as the test's own user.
    void make_changed_files() {
        ASSERT_TRUE(server_.start(dir_));
        put("IFC_set_to_tw_1", "to:111 tw:222");
        put("IFC_set_on_off_1", "main_on:123 main_off:234");
        // "FIN" comes before the handler runs; the next answer comes after.
        EXPECT_EQ(get("IFC_get_Tot_Twt_1"), "to:111 tw:222 ");
        ASSERT_TRUE(server_.running());
        server_.kill();
        ASSERT_EQ(read_file(kIfcFile).size(), kIfcSize);
        ASSERT_EQ(read_file(kValveFile).size(), kValveSize);
    }
    void expect_alive() {
        EXPECT_TRUE(server_.running())
            << "the server ended: " << ServerProcess::describe(server_.status());
    }
    // The working directory, and the files in it, handed to the server's
    // user (nobody when we are root) with the given modes.
    void hand_over(mode_t dir_mode, mode_t file_mode) {
        const bool root = geteuid() == 0;
        for (const std::string& f : {kIfcFile, kValveFile}) {
            if (access(f.c_str(), F_OK) != 0) continue;
            if (root) {
                ASSERT_EQ(chown(f.c_str(), ServerProcess::kNobody, ServerProcess::kNobody), 0);
            }
            ASSERT_EQ(chmod(f.c_str(), file_mode), 0);
        }
        if (root) {
            ASSERT_EQ(chown(".", ServerProcess::kNobody, ServerProcess::kNobody), 0);
        }
        ASSERT_EQ(chmod(".", dir_mode), 0);
    }
    ServerProcessOptions as_other_user() const {
        ServerProcessOptions options;
        options.as_nobody = geteuid() == 0;
        return options;
    }

    ServerProcess server_;
};

// Under a file-size limit below the valve file's 8,960 bytes: the interface
// file (800 bytes) keeps working, the valve file can never be written, and
// the server answers the valve commands from the defaults without dying of
// SIGXFSZ or leaving a short file behind.
TEST_F(FailingDisk, FileSizeLimitBelowTheValveFile) {
    ServerProcessOptions options;
    options.file_size_limit = 4096;
    ASSERT_TRUE(server_.start(dir_, options));

    const std::string defaults = get("IFC_get_on_off_2");
    for (int i = 0; i < 20; ++i) {
        put("IFC_set_on_off_2", "main_on:" + std::to_string(300 + i));
        put("IFC_set_to_tw_4", "to:" + std::to_string(60 + i) + " tw:" + std::to_string(200 + i));
        EXPECT_EQ(get("IFC_get_on_off_2"), defaults) << "a value written past the limit is lost";
        EXPECT_EQ(get("IFC_get_Tot_Twt_4"),
                  "to:" + std::to_string(60 + i) + " tw:" + std::to_string(200 + i) + " ");
    }
    expect_alive();
    EXPECT_EQ(read_file(kIfcFile).size(), kIfcSize);
    EXPECT_NE(access(kValveFile.c_str(), F_OK), 0) << "a valve file under the limit is short";
    EXPECT_NE(access((kValveFile + ".tmp").c_str(), F_OK), 0) << "a stray temporary file";
}

// Under a file-size limit whose only victim is the console: the server's
// standard output goes to a file that reaches the limit while no settings
// file is written. Its console lines are lost; the server is not.
TEST_F(FailingDisk, FileSizeLimitReachedByTheConsole) {
    make_changed_files();
    ServerProcessOptions options;
    options.file_size_limit = 2048;
    options.stdout_path = (dir_ / "console.out").string();
    ASSERT_TRUE(server_.start(dir_, options));
    for (int i = 0; i < 300; ++i) {  // each connection prints more than 30 bytes
        EXPECT_EQ(get("IFC_get_Tot_Twt_1"), "to:111 tw:222 ");
        if (!server_.running()) break;
    }
    expect_alive();
    EXPECT_EQ(read_file("console.out").size(), 2048u);
}

// The console is a pipe whose reader has gone (a terminal pipeline ended,
// a log collector died): the server's console lines are lost, the server
// and its settings are not.
TEST_F(FailingDisk, ConsolePipeWithoutReader) {
    ASSERT_EQ(mkfifo("console.fifo", 0644), 0);
    const int reader = open("console.fifo", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ServerProcessOptions options;
    options.stdout_path = (dir_ / "console.fifo").string();
    ASSERT_TRUE(server_.start(dir_, options));
    close(reader);
    for (int i = 0; i < 5; ++i) {
        put("IFC_set_to_tw_2", "to:" + std::to_string(70 + i) + " tw:250");
        EXPECT_EQ(get("IFC_get_Tot_Twt_2"), "to:" + std::to_string(70 + i) + " tw:250 ");
        if (!server_.running()) break;
    }
    expect_alive();
}

// A read-only working directory without settings files: every read answers
// the defaults, every change is lost, and no file appears.
TEST_F(FailingDisk, ReadOnlyDirectoryWithoutFiles) {
    hand_over(0555, 0);
    ASSERT_TRUE(server_.start(dir_, as_other_user()));
    for (int i = 0; i < 10; ++i) {
        put("IFC_set_to_tw_2", "to:" + std::to_string(100 + i) + " tw:250");
        put("IFC_set_on_off_3", "main_on:" + std::to_string(10 + i));
        EXPECT_EQ(get("IFC_get_Tot_Twt_2"), "to:90 tw:240 ");
        EXPECT_NE(get("IFC_get_on_off_3").find(" main_on:90 "), std::string::npos);
    }
    expect_alive();
    EXPECT_NE(access(kIfcFile.c_str(), F_OK), 0);
    EXPECT_NE(access(kValveFile.c_str(), F_OK), 0);
}

// A read-only working directory holding writable files: changes are kept,
// written in place, and the files keep their exact sizes.
TEST_F(FailingDisk, ReadOnlyDirectoryWithWritableFiles) {
    make_changed_files();
    hand_over(0555, 0644);
    ASSERT_TRUE(server_.start(dir_, as_other_user()));
    for (int i = 0; i < 10; ++i) {
        put("IFC_set_to_tw_1", "to:" + std::to_string(70 + i) + " tw:" + std::to_string(270 + i));
        put("IFC_set_on_off_1", "main_on:" + std::to_string(40 + i));
        EXPECT_EQ(get("IFC_get_Tot_Twt_1"),
                  "to:" + std::to_string(70 + i) + " tw:" + std::to_string(270 + i) + " ");
        EXPECT_NE(get("IFC_get_on_off_1").find(" main_on:" + std::to_string(40 + i) + " "),
                  std::string::npos);
        EXPECT_EQ(read_file(kIfcFile).size(), kIfcSize);
        EXPECT_EQ(read_file(kValveFile).size(), kValveSize);
    }
    expect_alive();
}

// Read-only settings files in a writable directory: reads answer the files'
// values, changes are lost, and the files stay byte for byte as they were;
// never replaced by the defaults nor by a new file beside them.
TEST_F(FailingDisk, ReadOnlyFiles) {
    make_changed_files();
    const std::string ifc_before = read_file(kIfcFile);
    const std::string valve_before = read_file(kValveFile);
    hand_over(0755, 0444);
    ASSERT_TRUE(server_.start(dir_, as_other_user()));
    for (int i = 0; i < 10; ++i) {
        put("IFC_set_to_tw_1", "to:" + std::to_string(70 + i) + " tw:250");
        put("IFC_set_select_item", "all:1");
        put("IFC_set_on_off_1", "main_on:5 main_off:6");
        EXPECT_EQ(get("IFC_get_Tot_Twt_1"), "to:111 tw:222 ");
        EXPECT_NE(get("IFC_get_on_off_1").find(" main_on:123 main_off:234 "), std::string::npos);
    }
    expect_alive();
    EXPECT_TRUE(read_file(kIfcFile) == ifc_before) << kIfcFile << " changed";
    EXPECT_TRUE(read_file(kValveFile) == valve_before) << kValveFile << " changed";
}

// One settings file and what a storm may have done to it: each value slot
// that the storm wrote holds its earlier value or one of the storm's; every
// other byte is as before.
struct Storm {
    std::map<size_t, std::set<int32_t>> written;  // byte offset -> values sent
};

void expect_prior_or_stormed(const std::string& before, const std::string& after,
                             const Storm& storm, const std::string& file, int round) {
    ASSERT_EQ(after.size(), before.size()) << file << " has the wrong size after kill " << round;
    for (size_t at = 0; at < after.size(); at += 4) {
        const int32_t old_value = image_word(before, at);
        const int32_t new_value = image_word(after, at);
        if (new_value == old_value) continue;
        const auto slot = storm.written.find(at);
        ASSERT_TRUE(slot != storm.written.end() && slot->second.count(new_value) == 1)
            << file << " byte " << at << " changed from " << old_value << " to " << new_value
            << ", which the storm never wrote (kill " << round << ")";
    }
}

// SIGKILL at random moments while a client stores changes as fast as it
// can, again and again. After each kill both files have their exact sizes
// and hold, value by value, either what they held before or what the storm
// wrote; the restarted server answers from them, never from the defaults.
TEST_F(FailingDisk, KilledAtRandomMomentsDuringAStormOfChanges) {
    constexpr int kKills = 40;
    const unsigned seed = test_seed();
    std::printf("failing disks: seed %u (set TCP9001_SEED to replay)\n", seed);
    std::mt19937 rng(seed);
    auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };

    make_changed_files();
    std::string ifc_image = read_file(kIfcFile);
    std::string valve_image = read_file(kValveFile);
    const std::vector<std::string> keys = {"main_on",   "main_off", "tandem_on",  "sub3_on",
                                           "sub12_off", "pin_on",   "stretch_off"};
    int kills = 0;
    int kills_in_a_save = 0;
    int value = 1000;  // every stored value is new: above any default

    for (int round = 1; round <= kKills && !HasFailure(); ++round) {
        ASSERT_TRUE(server_.start(dir_));
        // The restarted server answers from the files, not from the defaults.
        const size_t to1 = image_value_offset(ifc_image, "Tot", 1);
        const size_t tw1 = image_value_offset(ifc_image, "Twt", 1);
        ASSERT_NE(to1, std::string::npos);
        ASSERT_NE(tw1, std::string::npos);
        EXPECT_EQ(get("IFC_get_Tot_Twt_1"),
                  "to:" + std::to_string(image_word(ifc_image, to1)) +
                      " tw:" + std::to_string(image_word(ifc_image, tw1)) + " ");

        Storm ifc_storm, valve_storm;
        const pid_t pid = server_.pid();
        const int delay_us = pick(0, 150000);
        std::thread killer([pid, delay_us] {
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
            ::kill(pid, SIGKILL);
        });
        for (bool up = true; up;) {
            ifc::Connection c;
            if (ifc::connect_to(c, "127.0.0.1", ServerProcess::kPort, 2000) != ifc::Result::ok)
                break;
            for (int i = 0; i < 20 && up; ++i) {
                const int n = pick(1, 6);
                std::string name, payload;
                if (pick(0, 1) == 0) {
                    name = "IFC_set_to_tw_" + std::to_string(n);
                    const int to = value++, tw = value++;
                    payload = "to:" + std::to_string(to) + " tw:" + std::to_string(tw);
                    ifc_storm.written[image_value_offset(ifc_image, "Tot", n)].insert(to);
                    ifc_storm.written[image_value_offset(ifc_image, "Twt", n)].insert(tw);
                } else {
                    name = "IFC_set_on_off_" + std::to_string(n);
                    for (int k = pick(1, 3); k > 0; --k) {
                        const std::string& key = keys[static_cast<size_t>(pick(0, 6))];
                        const std::string record = key == "pin_on" ? "VAL_pin_open" : "VAL_" + key;
                        payload += key + ":" + std::to_string(value) + " ";
                        valve_storm.written[image_value_offset(valve_image, record, n)].insert(
                            value);
                        ++value;
                    }
                }
                up = ifc::put(c, name, payload) == ifc::Result::ok;
            }
            ifc::disconnect(c);
        }
        killer.join();
        const int status = server_.kill();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the server ended before the kill: " << ServerProcess::describe(status);
        ++kills;
        // A temporary file left behind: the kill came in the middle of a save.
        // Removed here so that the next round counts only its own.
        bool in_a_save = false;
        for (const std::string& f : {kIfcFile, kValveFile}) {
            in_a_save = unlink((f + ".tmp").c_str()) == 0 || in_a_save;
        }
        kills_in_a_save += in_a_save ? 1 : 0;

        const std::string ifc_after = read_file(kIfcFile);
        const std::string valve_after = read_file(kValveFile);
        expect_prior_or_stormed(ifc_image, ifc_after, ifc_storm, kIfcFile, round);
        expect_prior_or_stormed(valve_image, valve_after, valve_storm, kValveFile, round);
        ifc_image = ifc_after;
        valve_image = valve_after;
    }
    std::printf("failing disks: %d kills survived (%d in the middle of a save), %d values sent, "
                "seed %u\n",
                kills, kills_in_a_save, value - 1000, seed);
    RecordProperty("kills_survived", kills);
}

}  // namespace
