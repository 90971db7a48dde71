// ifcctl file: decoding settings-file images offline, good and damaged.
#include <gtest/gtest.h>

#include <string>

#include "ifc_net.h"
#include "ifcctl_run.h"
#include "mini_json.h"
#include "scratch_dir.h"
#include "settings_image.h"
#include "vfp_ifc.h"

namespace {

using settings_image::put_record;
using settings_image::put_terminator;

// A small interface image: `records` named records, then the end record.
std::string small_image(int records, int32_t type = 1) {
    std::string image;
    for (int i = 0; i < records; ++i) {
        put_record(image, type, "R" + std::to_string(i), {1, 2, 3, 4, 5, 6}, 0, 10);
    }
    put_terminator(image);
    image.resize(800, '\0');
    return image;
}

class IfcctlFile : public ScratchDir {
protected:
    // The built-in defaults, as the store writes them on first use.
    static std::string default_file(const char* name) {
        if (std::string(name) == IFC_SET_FILE) {
            i_ifc();
        } else {
            i_vfp();
        }
        return read_file(name);
    }
};

TEST_F(IfcctlFile, InterfaceDefaultsDecodeToTheKnownTable) {
    write_file("ifc_set.set", default_file(IFC_SET_FILE));
    const tool_result r = run_tool({"file", "ifc_set.set"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "ifc_set.set: 800 bytes, read as ifc_set.set (interface settings: 10 records of 80 "
              "bytes = 800 bytes), told by its file name\n"
              "index  name    type   c1   c2   c3   c4   c5   c6  min  max  group\n"
              "    0  Tot        1   90   90   90   90   90   90   50  150\n"
              "    1  Twt        1  240  240  240  240  240  240  190  290\n"
              "    2  STAT_1     1    1    0    0    0    0    0    0    6\n"
              "    3  STAT_2     1  10*    1  10*    2    0    0    0    6\n"
              "    4  V          1    0    0    0    0    0    0    0    1\n"
              "    5  S1         1    0    0    0    0    0    0    0    1\n"
              "    6  S2         1    0    0    0    0    0    0    0    1\n"
              "    7  S3         1    0    0    0    0    0    0    0    1\n"
              "    8  S4         1    0    0    0    0    0    0    0    1\n"
              "end record at index 9\n"
              "note: 2 values outside their bounds, marked *: the server stores and reports "
              "them as they are\n"
              "no problems found\n");
}

TEST_F(IfcctlFile, ValveDefaultsAsJsonParseBack) {
    // Another name: the table is told by the size alone.
    write_file("copy.bin", default_file(VFP_SET_FILE));
    const tool_result r = run_tool({"file", "copy.bin", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto json = parse_json(r.out);
    ASSERT_TRUE(json) << r.out;
    EXPECT_EQ(json->get("table")->text, "valve_fp.set");
    EXPECT_EQ(json->get("chosen")->text, "told by its size");
    EXPECT_EQ(json->get("size")->number_value, 8960);
    EXPECT_EQ(json->get("end_record")->number_value, 111);
    EXPECT_TRUE(json->get("problems")->items.empty());
    const auto& records = json->get("records")->items;
    ASSERT_EQ(records.size(), 111u);
    const json_value& first = records[0];
    EXPECT_EQ(first.get("name")->text, "VAL_pin_open");
    EXPECT_EQ(first.get("group")->text, "g1");
    EXPECT_EQ(first.get("max")->number_value, 359);
    ASSERT_EQ(first.get("values")->items.size(), 6u);
    EXPECT_EQ(first.get("values")->items[5].number_value, 70);
    const json_value& last = records[110];
    EXPECT_EQ(last.get("name")->text, "VAL_1st_apc_drop_MPA");
    EXPECT_EQ(last.get("type")->number_value, 3);
    EXPECT_EQ(last.get("min")->number_value, -10);
    EXPECT_FALSE(last.get("type_refused")->flag);
}

// Damaged and unusual images: exit code and the plain-words lines that must
// appear in the report.
TEST_F(IfcctlFile, FaultsAreStatedPlainly) {
    std::string unterminated = small_image(3);
    unterminated.replace(2 * 80 + 4, 32, std::string(32, 'N'));
    std::string refused = small_image(3);
    refused[0] = 7;                       // record 0: type 7
    refused.replace(80, 4, "\xff\xff\xff\xff");   // record 1: type -1
    std::string outside = small_image(1);
    outside[36] = static_cast<char>(44);  // colour 1 = 44, max 10
    std::string behind = small_image(2);
    put_record(behind, 1, "LOST", {0, 0, 0, 0, 0, 0}, 0, 0);
    behind = behind.substr(0, 3 * 80) + behind.substr(800);   // record 3 behind the end
    behind.resize(800, '\0');
    std::string valve_long = default_file(VFP_SET_FILE) + std::string(40, 'x');

    struct fault_case {
        const char* what;
        const char* file;
        std::string image;
        int code;
        std::vector<std::string> lines;
    };
    const std::vector<fault_case> cases{
        {"short by one byte", "valve_fp.set", default_file(VFP_SET_FILE).substr(0, 8959), 7,
         {"problem: short: 8959 bytes where the table needs 8960; the server would replace this "
          "file with its built-in defaults at the next access, and its content would be lost",
          "problem: the last 79 bytes are part of a record and are not shown",
          "problem: no end record: none of the 111 whole records in the file has type 0"}},
        {"empty", "ifc_set.set", "", 7,
         {"problem: short: 0 bytes where the table needs 800",
          "problem: no end record: none of the 0 whole records in the file has type 0"}},
        {"long by 40 bytes", "valve_fp.set", valve_long, 7,
         {"problem: long: 9000 bytes, 40 more than the table's 8960; only the first 8960 bytes "
          "are used and the rest is ignored (the server's next write cuts the file to 8960 "
          "bytes)",
          "end record at index 111"}},
        {"no end record", "ifc_set.set", small_image(10).substr(0, 800), 7,
         {"problem: no end record: none of the 10 records has type 0, so the server searches "
          "all of them",
          "    9  R9       1   1   2   3   4   5   6    0   10"}},
        {"name without NUL", "ifc_set.set", unterminated, 7,
         {"problem: record 2: its name field holds no NUL (32 bytes of text)",
          "    2  NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN (no NUL)     1"}},
        {"refused types", "ifc_set.set", refused, 0,
         {"    0  R0      7!", "    1  R1     -1!",
          "note: 2 records of a type the server refuses (not 1 to 5), marked !"}},
        {"value outside bounds", "ifc_set.set", outside, 0,
         {"    0  R0       1  44*   2   3   4   5   6    0   10",
          "note: 1 value outside its bounds, marked *"}},
        {"record behind the end", "ifc_set.set", behind, 0,
         {"end record at index 2",
          "note: 1 non-zero record behind the end record is never looked at"}},
        {"between the sizes", "x.bin", std::string(1000, '\0'), 7,
         {"read as valve_fp.set", "between the two table sizes"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(c.file, c.image);
        const tool_result r = run_tool({"file", c.file});
        EXPECT_EQ(r.code, c.code) << r.out;
        for (const auto& line : c.lines) {
            EXPECT_NE(r.out.find(line), std::string::npos) << "missing: " << line << "\n" << r.out;
        }
        // Each fault is also in the JSON, which stays valid.
        const tool_result j = run_tool({"file", c.file, "--json"});
        EXPECT_EQ(j.code, c.code);
        const auto json = parse_json(j.out);
        ASSERT_TRUE(json) << j.out;
        EXPECT_EQ(json->get("problems")->items.empty(), c.code == 0);
    }
}

TEST_F(IfcctlFile, TableCanBeChosenAndMissingFileIsReported) {
    // 840 bytes named otherwise: by size a short valve file; --table ifc
    // reads it as a long interface file.
    write_file("odd.bin", default_file(IFC_SET_FILE) + std::string(40, '\0'));
    const tool_result forced = run_tool({"file", "odd.bin", "--table", "ifc"});
    EXPECT_EQ(forced.code, 7);
    EXPECT_NE(forced.out.find("read as ifc_set.set (interface settings: 10 records of 80 bytes "
                              "= 800 bytes), chosen with --table"),
              std::string::npos)
        << forced.out;
    EXPECT_NE(forced.out.find("problem: long: 840 bytes"), std::string::npos);

    const tool_result missing = run_tool({"file", "absent.set"});
    EXPECT_EQ(missing.code, 7);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "ifcctl: cannot read absent.set: No such file or directory\n");
}

}  // namespace
