// The interface settings store: "ifc_set.set" loaded before every access,
// created from the defaults when missing or short, saved after every write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <string>
#include <vector>

#include "ifc_net.h"
#include "other_user_scratch.h"
#include "settings_image.h"

namespace {

using settings_image::value_offset;

// The default file, built from the listed records, not from the module.
std::string default_image() {
    std::string image;
    settings_image::put_record(image, 1, "Tot", {90, 90, 90, 90, 90, 90}, 50, 150);
    settings_image::put_record(image, 1, "Twt", {240, 240, 240, 240, 240, 240}, 190, 290);
    settings_image::put_record(image, 1, "STAT_1", {1, 0, 0, 0, 0, 0}, 0, 6);
    settings_image::put_record(image, 1, "STAT_2", {10, 1, 10, 2, 0, 0}, 0, 6);
    for (const char* name : {"V", "S1", "S2", "S3", "S4"}) {
        settings_image::put_record(image, 1, name, {0, 0, 0, 0, 0, 0}, 0, 1);
    }
    settings_image::put_terminator(image);
    return image;
}

const char* const kNames[] = {"Tot", "Twt", "STAT_1", "STAT_2", "V", "S1", "S2", "S3", "S4"};

// Modification time in seconds, 0 when the file is absent.
time_t mtime_of(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 ? st.st_mtime : 0;
}

class IfcStore : public OtherUserScratch {
protected:
    // In a child, as another user: read Tot colour 1 (result, value), write
    // 77 to it (result), read it again (result, value).
    std::vector<int> read_write_read() {
        const settings_image::ChildResult r = as_other_user([](std::vector<int>& v) {
            int out = -1;
            v.push_back(Ifc_SetRead("Tot", &out, 1));
            v.push_back(out);
            v.push_back(Ifc_SetWrite("Tot", 77, 1));
            out = -1;
            v.push_back(Ifc_SetRead("Tot", &out, 1));
            v.push_back(out);
        });
        EXPECT_TRUE(r.exited) << "ended by signal " << r.signal;
        return r.values;
    }
};

}  // namespace

TEST_F(IfcStore, FirstReadCreatesTheDefaultFile) {
    const mode_t old_mask = umask(022);
    int out = 0;
    EXPECT_EQ(Ifc_SetRead("Tot", &out, 1), 0);
    umask(old_mask);
    EXPECT_EQ(out, 90);

    const std::string expected = default_image();
    ASSERT_EQ(expected.size(), 800u);
    EXPECT_EQ(read_file("ifc_set.set"), expected);
    struct stat st {};
    ASSERT_EQ(stat("ifc_set.set", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    // Every listed value reads back through the store.
    for (int n = 0; n < 9; ++n) {
        for (int c = 1; c <= 6; ++c) {
            out = -99;
            EXPECT_EQ(Ifc_SetRead(kNames[n], &out, c), 0) << kNames[n];
            EXPECT_EQ(out, settings_image::word_at(expected, value_offset(n, c))) << kNames[n] << c;
        }
    }
}

TEST_F(IfcStore, WritesAreSavedAndOutOfBoundsValuesKept) {
    EXPECT_EQ(Ifc_SetWrite("V", 5, 2), 0);  // max is 1
    EXPECT_EQ(Ifc_SetWrite("Tot", 400, 6), 0);
    std::string expected = default_image();
    expected[value_offset(4, 2)] = 5;
    expected[value_offset(0, 6)] = static_cast<char>(400 & 0xff);
    expected[value_offset(0, 6) + 1] = static_cast<char>(400 >> 8);
    EXPECT_EQ(read_file("ifc_set.set"), expected);
    int out = 0;
    EXPECT_EQ(Ifc_SetRead("V", &out, 2), 0);
    EXPECT_EQ(out, 5);
}

TEST_F(IfcStore, WriteToMissingNameRewritesTheFileUnchanged) {
    int out = 0;
    ASSERT_EQ(Ifc_SetRead("Tot", &out, 1), 0);
    const timeval long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimes("ifc_set.set", long_ago), 0);
    EXPECT_EQ(Ifc_SetWrite("tot", 1, 1), -1);
    EXPECT_GT(mtime_of("ifc_set.set"), 1000);  // saved again
    EXPECT_EQ(read_file("ifc_set.set"), default_image());
}

// Every access reloads: a change made by another program is seen at once.
TEST_F(IfcStore, FileIsTheReferenceCopy) {
    int out = 0;
    ASSERT_EQ(Ifc_SetRead("Twt", &out, 3), 0);
    std::string changed = default_image();
    changed[value_offset(1, 3)] = 77;
    changed[value_offset(1, 3) + 1] = 0;
    write_file("ifc_set.set", changed);
    EXPECT_EQ(Ifc_SetRead("Twt", &out, 3), 0);
    EXPECT_EQ(out, 77);
}

TEST_F(IfcStore, ShortFilesAreReplacedLongFilesUsed) {
    std::string image = default_image();
    image[value_offset(0, 1)] = 55;  // Tot colour 1

    write_file("ifc_set.set", image.substr(0, 799));
    int out = 0;
    EXPECT_EQ(Ifc_SetRead("Tot", &out, 1), 0);
    EXPECT_EQ(out, 90);
    EXPECT_EQ(read_file("ifc_set.set"), default_image());

    write_file("ifc_set.set", "");
    EXPECT_EQ(Ifc_SetRead("Tot", &out, 1), 0);
    EXPECT_EQ(read_file("ifc_set.set"), default_image());

    const std::string tail(40, 'x');
    write_file("ifc_set.set", image + tail);
    EXPECT_EQ(Ifc_SetRead("Tot", &out, 1), 0);
    EXPECT_EQ(out, 55);
    EXPECT_EQ(read_file("ifc_set.set"), image + tail);  // a read does not touch it
    EXPECT_EQ(Ifc_SetWrite("Tot", 56, 2), 0);
    image[value_offset(0, 2)] = 56;
    EXPECT_EQ(read_file("ifc_set.set"), image);  // the write cut it to 800 bytes
}

TEST_F(IfcStore, AllZeroFileIsAnEmptyTableNeverReplaced) {
    const std::string zeros(800, '\0');
    write_file("ifc_set.set", zeros);
    int out = 31;
    for (const char* name : kNames) {
        EXPECT_EQ(Ifc_SetRead(name, &out, 1), -1);
        EXPECT_EQ(Ifc_SetWrite(name, 1, 1), -1);
    }
    EXPECT_EQ(out, 31);
    EXPECT_EQ(read_file("ifc_set.set"), zeros);
}

// A file that cannot be written: reads answer from it, a write reports
// success but the next access loads the old value again.
TEST_F(IfcStore, ReadOnlyFileAnswersReadsAndLosesWrites) {
    std::string image = default_image();
    image[value_offset(0, 1)] = 55;
    write_file("ifc_set.set", image);
    give("ifc_set.set", 0444);
    const std::vector<int> r = read_write_read();
    EXPECT_EQ(r, (std::vector<int>{0, 55, 0, 0, 55}));
    EXPECT_EQ(read_file("ifc_set.set"), image);
    EXPECT_FALSE(std::filesystem::exists("ifc_set.set.tmp"));
}

// A directory that cannot be written and no file: reads answer from the
// defaults, a written value is gone at the next access, nothing is created.
TEST_F(IfcStore, UnwritableDirectoryAnswersDefaultsAndLosesWrites) {
    ASSERT_EQ(chmod(".", 0555), 0);
    const std::vector<int> r = read_write_read();
    ASSERT_EQ(chmod(".", 0755), 0);
    EXPECT_EQ(r, (std::vector<int>{0, 90, 0, 0, 90}));
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

// A writable file in a directory that cannot be written is still saved, in
// place.
TEST_F(IfcStore, UnwritableDirectoryWithWritableFileKeepsWrites) {
    write_file("ifc_set.set", default_image());
    give("ifc_set.set", 0644);
    ASSERT_EQ(chmod(".", 0555), 0);
    const std::vector<int> r = read_write_read();
    ASSERT_EQ(chmod(".", 0755), 0);
    EXPECT_EQ(r, (std::vector<int>{0, 90, 0, 0, 77}));
    std::string expected = default_image();
    expected[value_offset(0, 1)] = 77;
    EXPECT_EQ(read_file("ifc_set.set"), expected);
}
