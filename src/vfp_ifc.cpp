// vfp_ifc: the valve settings table and the valve on/off timing commands.
//
// (module description to be completed)
#include "vfp_ifc.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "ether_parse.h"
#include "lib_data2.h"
#include "lib_fp.h"
#include "sim_main.h"
#include "tcp9001.h"

// ==== Valve settings store ==================================================

// (working table, default table, I_vfp, i_vfp, VfpRead, VfpWrite)

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
    // Appends one item; an item that would not fit whole is left out of the
    // reply (it cannot happen: 46 items of at most 25 characters).
    auto append = [&](const char* key, int value) {
        const int n = std::snprintf(out + used, REPLY_AREA - used, "%s:%d ", key, value);
        if (n > 0 && static_cast<std::size_t>(n) < REPLY_AREA - used) used += static_cast<std::size_t>(n);
    };
    append("ATC_TO_DELAY", 0);  // no record behind it: always 0
    for (const valve_key* row = cj; row->record[0] != '\0'; ++row) {
        int value = 0;  // listed for a record that cannot be read
        VfpRead(row->record, &value, c);
        append(row->key, value);
    }
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
