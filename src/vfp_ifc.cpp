// vfp_ifc: the valve settings table and the valve on/off timing commands.
//
// Owns the valve settings table: the working copy `i4`, reloaded from
// "valve_fp.set" before every read and saved to it after every write, and
// the built-in defaults `i4_init` that replace a missing or short file. On
// top of it sit the valve timing commands: the key map `cj` ties each short
// reply key ("main_on") to its record ("VAL_main_on"); the GET commands list
// the 45 timings of one colour, the PUT commands store a key:value list
// parsed by line2matrix2. Called by the dispatcher of ether_parse.
#include "vfp_ifc.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "ether_parse.h"
#include "lib_data2.h"
#include "lib_fp.h"
#include "sim_main.h"
#include "tcp9001.h"

// ==== Valve settings store ==================================================

namespace {

// One default record: the same value in all six colours, NUL-filled name and
// group tag, zero reserved bytes.
constexpr i4_entry rec(int type, const char* name, int value, int min, int max,
                       const char* group = "") {
    i4_entry e{};
    e.type = type;
    for (int i = 0; name[i] != '\0'; ++i) e.name[i] = name[i];
    for (int c = 0; c < 6; ++c) e.value[c] = value;
    e.min = min;
    e.max = max;
    for (int i = 0; group[i] != '\0'; ++i) e.group[i] = group[i];
    return e;
}

// The built-in defaults, saved when "valve_fp.set" is missing or short. The
// names are spelled as the machine knows them ("strech", "ABS_TwK").
constexpr i4_entry i4_init[] = {
    rec(1, "VAL_pin_open", 70, 0, 359, "g1"),
    rec(1, "VAL_use_abs", 0, 0, 359, "g2"),
    rec(1, "VAL_abs_rel", 50, 0, 200, "g2"),
    rec(1, "VAL_abs_on", 215, 0, 359, "g2"),
    rec(1, "VAL_abs_off", 255, 0, 359, "g2"),
    rec(1, "VAL_pull_on", 350, 0, 359, "g2"),
    rec(1, "VAL_ABS_TwK", 230, 0, 359, "g2"),
    rec(1, "VAL_main_on", 90, 0, 359, "g1"),
    rec(1, "VAL_main_off", 160, 0, 359, "g1"),
    rec(1, "VAL_tandem_on", 95, 0, 359, "g1"),
    rec(1, "VAL_tandem_off", 150, 0, 359, "g1"),
    rec(1, "VAL_cutter_on", 20, 0, 359, "g3"),
    rec(1, "VAL_cutter_off", 180, 0, 359, "g3"),
    rec(1, "VAL_cutting_blow_on", 30, 0, 359, "g3"),
    rec(1, "VAL_cutting_blow_off", 60, 0, 359, "g3"),
    rec(1, "VAL_sub1_on", 95, 0, 359, "g4"),
    rec(1, "VAL_sub1_off", 135, 0, 359, "g4"),
    rec(1, "VAL_sub2_on", 115, 0, 359, "g4"),
    rec(1, "VAL_sub2_off", 155, 0, 359, "g4"),
    rec(1, "VAL_sub3_on", 135, 0, 359, "g4"),
    rec(1, "VAL_sub3_off", 175, 0, 359, "g4"),
    rec(1, "VAL_sub4_on", 150, 0, 359, "g4"),
    rec(1, "VAL_sub4_off", 190, 0, 359, "g4"),
    rec(1, "VAL_sub5_on", 165, 0, 359, "g4"),
    rec(1, "VAL_sub5_off", 205, 0, 359, "g4"),
    rec(1, "VAL_sub6_on", 185, 0, 359, "g4"),
    rec(1, "VAL_sub6_off", 280, 0, 359, "g4"),
    rec(1, "VAL_sub7_on", 200, 0, 359, "g4"),
    rec(1, "VAL_sub7_off", 300, 0, 359, "g4"),
    rec(1, "VAL_sub8_on", 220, 0, 359, "g4"),
    rec(1, "VAL_sub8_off", 300, 0, 359, "g4"),
    rec(1, "VAL_sub9_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub9_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub10_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub10_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub11_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub11_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub12_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub12_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub13_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub13_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub14_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub14_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub15_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub15_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub16_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub16_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub17_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub17_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub18_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub18_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub19_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub19_off", 0, 0, 359, "g4"),
    rec(1, "VAL_sub20_on", 0, 0, 359, "g4"),
    rec(1, "VAL_sub20_off", 0, 0, 359, "g4"),
    rec(1, "VAL_stretch_on", 0, 0, 359, "g4"),
    rec(1, "VAL_stretch_off", 0, 0, 359, "g4"),
    rec(1, "VAL_strech_blow_on", 0, 0, 359, "g4"),
    rec(1, "VAL_strech_blow_off", 0, 0, 359, "g4"),
    rec(1, "VAL_exhaust_main_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_main_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s1_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s1_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s2_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s2_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s3_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s3_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s4_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s4_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s5_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s5_off", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s6_on", 0, 0, 359, "g5"),
    rec(1, "VAL_exhaust_s6_off", 0, 0, 359, "g5"),
    rec(1, "VAL_press1", 0, 0, 359, "g4"),
    rec(1, "VAL_press2", 0, 0, 359, "g4"),
    rec(1, "VAL_press3", 0, 0, 359, "g4"),
    rec(1, "VAL_press4", 0, 0, 359, "g4"),
    rec(1, "VAL_press5", 0, 0, 359, "g4"),
    rec(1, "VAL_press6", 0, 0, 359, "g4"),
    rec(1, "VAL_press7", 0, 0, 359, "g4"),
    rec(1, "VAL_press8", 0, 0, 359, "g4"),
    rec(1, "VAL_press9", 0, 0, 359, "g4"),
    rec(1, "VAL_press10", 0, 0, 359, "g4"),
    rec(1, "VAL_press11", 0, 0, 359, "g4"),
    rec(1, "VAL_press12", 0, 0, 359, "g4"),
    rec(1, "VAL_press13", 0, 0, 359, "g4"),
    rec(1, "VAL_press14", 0, 0, 359, "g4"),
    rec(1, "VAL_press15", 0, 0, 359, "g4"),
    rec(1, "VAL_press16", 0, 0, 359, "g4"),
    rec(1, "VAL_press17", 0, 0, 359, "g4"),
    rec(1, "VAL_press18", 0, 0, 359, "g4"),
    rec(1, "VAL_press19", 0, 0, 359, "g4"),
    rec(1, "VAL_press20", 0, 0, 359, "g4"),
    rec(1, "VAL_stretch_press", 0, 0, 359, "g4"),
    rec(1, "VAL_air_on", 0, 0, 300, "g5"),
    rec(1, "VAL_air_off", 0, 0, 300, "g5"),
    rec(1, "VAL_absg_on", 0, 0, 300, "g5"),
    rec(1, "VAL_absg_off", 0, 0, 300, "g5"),
    rec(1, "VAL_breeze_on", 0, 0, 300, "g5"),
    rec(1, "VAL_breeze_off", 0, 0, 300, "g5"),
    rec(1, "VAL_1st_ctrl", 0, 0, 1, "g5"),
    rec(1, "VAL_1st_twi", 220, 190, 280, "g5"),
    rec(1, "VAL_1st_subN", 2, 1, 2, "g5"),
    rec(1, "VAL_1st_main_on", 0, 0, 359, "g1"),
    rec(1, "VAL_1st_main_off", 0, 0, 359, "g1"),
    rec(1, "VAL_1st_tandem_on", 0, 0, 359, "g1"),
    rec(1, "VAL_1st_tandem_off", 0, 0, 359, "g1"),
    rec(1, "VAL_1st_abs_on", 0, 0, 359, "g2"),
    rec(1, "VAL_1st_abs_off", 0, 0, 359, "g2"),
    rec(2, "VAL_1st_apc_drop", 0, -10, 0, "g5"),
    rec(3, "VAL_1st_apc_drop_MPA", 0, -10, 0, "g5"),
    {},  // terminator
};
static_assert(std::size(i4_init) == VFP_TABLE_RECORDS);

// The working table: zero until the first access, then the image last loaded
// (or the defaults). The file is the reference copy, reloaded every time.
i4_entry i4[VFP_TABLE_RECORDS];
static_assert(sizeof i4 == 8960);

}  // namespace

void I_vfp() { std::memcpy(i4, i4_init, sizeof i4); }

int i_vfp() {
    if (hfp_load_data2(VFP_SET_FILE, i4, sizeof i4) == static_cast<int>(sizeof i4)) {
        return sizeof i4;
    }
    I_vfp();  // also overwrites what a short read put there
    return hfp_save_data2(VFP_SET_FILE, i4, sizeof i4);
}

int VfpRead(const char* name, int* out, int c) {
    i_vfp();
    return fp_main_read(name, out, c, i4);
}

int VfpWrite(const char* name, int value, int c) {
    i_vfp();
    const int result = fp_main_write(name, value, c, i4);
    // Saved even when nothing changed; a failed save is noticed by nobody,
    // and the value is gone at the next access, which reloads the file.
    hfp_save_data2(VFP_SET_FILE, i4, sizeof i4);
    return result;
}

// ==== Valve on/off timing commands ==========================================

namespace {

// One row of the valve key map: the record in the valve settings table and
// the short key that stands for it on the wire.
struct valve_key {
    const char* record;
    const char* key;
};

// Listed in this order by the GET handlers; the row with an empty record name
// ends every scan. Sub valves 19 and 20 and the other records of the table
// are deliberately not here: these commands neither list nor accept them.
constexpr valve_key cj[] = {
    {"VAL_pin_open", "pin_on"},
    {"VAL_abs_on", "abs_on"},
    {"VAL_abs_off", "abs_off"},
    {"VAL_main_on", "main_on"},
    {"VAL_main_off", "main_off"},
    {"VAL_tandem_on", "tandem_on"},
    {"VAL_tandem_off", "tandem_off"},
    {"VAL_stretch_on", "stretch_on"},
    {"VAL_stretch_off", "stretch_off"},
    {"VAL_sub1_on", "sub1_on"},
    {"VAL_sub1_off", "sub1_off"},
    {"VAL_sub2_on", "sub2_on"},
    {"VAL_sub2_off", "sub2_off"},
    {"VAL_sub3_on", "sub3_on"},
    {"VAL_sub3_off", "sub3_off"},
    {"VAL_sub4_on", "sub4_on"},
    {"VAL_sub4_off", "sub4_off"},
    {"VAL_sub5_on", "sub5_on"},
    {"VAL_sub5_off", "sub5_off"},
    {"VAL_sub6_on", "sub6_on"},
    {"VAL_sub6_off", "sub6_off"},
    {"VAL_sub7_on", "sub7_on"},
    {"VAL_sub7_off", "sub7_off"},
    {"VAL_sub8_on", "sub8_on"},
    {"VAL_sub8_off", "sub8_off"},
    {"VAL_sub9_on", "sub9_on"},
    {"VAL_sub9_off", "sub9_off"},
    {"VAL_sub10_on", "sub10_on"},
    {"VAL_sub10_off", "sub10_off"},
    {"VAL_sub11_on", "sub11_on"},
    {"VAL_sub11_off", "sub11_off"},
    {"VAL_sub12_on", "sub12_on"},
    {"VAL_sub12_off", "sub12_off"},
    {"VAL_sub13_on", "sub13_on"},
    {"VAL_sub13_off", "sub13_off"},
    {"VAL_sub14_on", "sub14_on"},
    {"VAL_sub14_off", "sub14_off"},
    {"VAL_sub15_on", "sub15_on"},
    {"VAL_sub15_off", "sub15_off"},
    {"VAL_sub16_on", "sub16_on"},
    {"VAL_sub16_off", "sub16_off"},
    {"VAL_sub17_on", "sub17_on"},
    {"VAL_sub17_off", "sub17_off"},
    {"VAL_sub18_on", "sub18_on"},
    {"VAL_sub18_off", "sub18_off"},
    {"", ""},
};
static_assert(std::size(cj) == 45 + 1, "45 keys and the end row");

// The transfer buffer that every GET handler writes into.
constexpr std::size_t REPLY_AREA = TCP9001_MAX_BODY;

// The record behind a reply key, or nullptr when the key is not in the map.
const char* record_of(std::string_view key) {
    for (const valve_key* row = cj; row->record[0] != '\0'; ++row) {
        if (key == row->key) return row->record;
    }
    return nullptr;
}

// atoi rules (leading white space, optional sign, digits up to the first
// other character, no digits gives 0), but a value beyond the int range
// saturates at INT_MIN or INT_MAX instead of being undefined.
int to_int(const char* text) {
    const long value = std::strtol(text, nullptr, 10);  // saturates at LONG_*
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// Writes "ATC_TO_DELAY:0 " and "key:value " for every key of the map, the
// values of colour `c` as stored. Returns the reply length (no NUL counted).
int get_on_off(char* out, int c) {
    std::size_t used = 0;
    // Appends one item "key:value " as "%s:%d " would, but with std::to_chars:
    // printf's machinery cost as much as all the table lookups of a reply. An
    // item that would not fit whole, with the NUL behind it, is left out (it
    // cannot happen: 46 items of at most 25 characters).
    auto append = [&](std::string_view key, int value) {
        char item[32];  // a key of at most 12 characters, an int, two more
        char* end = std::copy(key.begin(), key.end(), item);
        *end++ = ':';
        end = std::to_chars(end, item + sizeof item - 1, value).ptr;
        *end++ = ' ';
        const auto size = static_cast<std::size_t>(end - item);
        if (size >= REPLY_AREA - used) return;
        std::memcpy(out + used, item, size);
        used += size;
    };
    append("ATC_TO_DELAY", 0);  // no record behind it: always 0
    for (const valve_key* row = cj; row->record[0] != '\0'; ++row) {
        int value = 0;  // listed for a record that cannot be read
        VfpRead(row->record, &value, c);
        append(row->key, value);
    }
    out[used] = '\0';  // the reply text stays a string, as snprintf left it
    return static_cast<int>(used);
}

// Stores each key:value item of the payload whose key is in the map into
// colour `c`, one load-change-save per item in payload order. The first row
// with an empty key (a token that began with a colon) ends the list.
void set_on_off(char* payload, int length, int c) {
    payload[length] = '\0';  // the dispatcher leaves one writable byte here
    line2matrix2(payload);
    for (const l2m2_row& row : l2m2) {
        if (row.key[0] == '\0') break;
        const char* record = record_of(row.key);
        if (record == nullptr) continue;  // not one of our keys: ignored
        VfpWrite(record, to_int(row.value), c);
    }
}

}  // namespace

int IFC_get_on_off_1(char* out) { return get_on_off(out, 1); }
int IFC_get_on_off_2(char* out) { return get_on_off(out, 2); }
int IFC_get_on_off_3(char* out) { return get_on_off(out, 3); }
int IFC_get_on_off_4(char* out) { return get_on_off(out, 4); }
int IFC_get_on_off_5(char* out) { return get_on_off(out, 5); }
int IFC_get_on_off_6(char* out) { return get_on_off(out, 6); }
int IFC_set_on_off_1(char* payload, int length) { set_on_off(payload, length, 1); return 0; }
int IFC_set_on_off_2(char* payload, int length) { set_on_off(payload, length, 2); return 0; }
int IFC_set_on_off_3(char* payload, int length) { set_on_off(payload, length, 3); return 0; }
int IFC_set_on_off_4(char* payload, int length) { set_on_off(payload, length, 4); return 0; }
int IFC_set_on_off_5(char* payload, int length) { set_on_off(payload, length, 5); return 0; }
int IFC_set_on_off_6(char* payload, int length) { set_on_off(payload, length, 6); return 0; }
