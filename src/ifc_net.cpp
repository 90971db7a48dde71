// ifc_net: the interface settings table and the interface data commands.
//
// (module description to be completed)
#include "ifc_net.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "ether_parse.h"
#include "lib_data2.h"
#include "sim_main.h"

// ==== Interface settings store ==============================================

namespace {

// One default record: six values of its own, NUL-filled name, zero group
// tag and reserved bytes.
constexpr i4_entry rec(int type, const char* name, const int (&values)[6], int min, int max) {
    i4_entry e{};
    e.type = type;
    for (int i = 0; name[i] != '\0'; ++i) e.name[i] = name[i];
    for (int c = 0; c < 6; ++c) e.value[c] = values[c];
    e.min = min;
    e.max = max;
    return e;
}

// The built-in defaults, saved when "ifc_set.set" is missing or short. The
// bounds are stored only: STAT_2 holds 10 above its max of 6.
constexpr i4_entry i4_init[] = {
    rec(1, "Tot", {90, 90, 90, 90, 90, 90}, 50, 150),         // target "to"
    rec(1, "Twt", {240, 240, 240, 240, 240, 240}, 190, 290),  // target "tw"
    rec(1, "STAT_1", {1, 0, 0, 0, 0, 0}, 0, 6),               // color, mode, totw_sw
    rec(1, "STAT_2", {10, 1, 10, 2, 0, 0}, 0, 6),             // histogram selections
    rec(1, "V", {0, 0, 0, 0, 0, 0}, 0, 1),                    // pin .. stretch in 2..6
    rec(1, "S1", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 1..6
    rec(1, "S2", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 7..12
    rec(1, "S3", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 13..18
    rec(1, "S4", {0, 0, 0, 0, 0, 0}, 0, 1),                   // sub valves 19, 20
    {},                                                        // terminator
};
static_assert(std::size(i4_init) == IFC_TABLE_RECORDS);

// The working table: zero until the first access, then the image last loaded
// (or the defaults). The file is the reference copy, reloaded every time.
i4_entry i4[IFC_TABLE_RECORDS];
static_assert(sizeof i4 == 800);

}  // namespace

void I_ifc() { std::memcpy(i4, i4_init, sizeof i4); }

int i_ifc() {
    if (hfp_load_data2(IFC_SET_FILE, i4, sizeof i4) == static_cast<int>(sizeof i4)) {
        return sizeof i4;
    }
    I_ifc();  // also overwrites what a short read put there
    return hfp_save_data2(IFC_SET_FILE, i4, sizeof i4);
}

int Ifc_SetRead(const char* name, int* out, int c) {
    i_ifc();
    return fp_main_read(name, out, c, i4);
}

int Ifc_SetWrite(const char* name, int value, int c) {
    i_ifc();
    const int result = fp_main_write(name, value, c, i4);
    // Saved even when nothing changed; a failed save is noticed by nobody,
    // and the value is gone at the next access, which reloads the file.
    hfp_save_data2(IFC_SET_FILE, i4, sizeof i4);
    return result;
}

// ==== Simulated measurement source ==========================================

// (INFO_get, get_histo, clear_histo, set_histo)

// ==== Commands ==============================================================

namespace {
// Placeholder until the command is built: answers like an unknown command.
int not_built_yet() {
    if (deb_ether_parse) std::puts("not found");
    return 0;
}
}  // namespace

int IFC_get_select_item(char*) { return -1; }
int IFC_get_stat(char*) { return -1; }
int IFC_get_Tot_Twt_1(char*) { return -1; }
int IFC_get_Tot_Twt_2(char*) { return -1; }
int IFC_get_Tot_Twt_3(char*) { return -1; }
int IFC_get_Tot_Twt_4(char*) { return -1; }
int IFC_get_Tot_Twt_5(char*) { return -1; }
int IFC_get_Tot_Twt_6(char*) { return -1; }
int IFC_get_To_Tw_1(char*) { return -1; }
int IFC_get_To_Tw_2(char*) { return -1; }
int IFC_get_To_Tw_3(char*) { return -1; }
int IFC_get_To_Tw_4(char*) { return -1; }
int IFC_get_To_Tw_5(char*) { return -1; }
int IFC_get_To_Tw_6(char*) { return -1; }
int IFC_get_histo_ave_1(char*) { return -1; }
int IFC_get_histo_ave_2(char*) { return -1; }
int IFC_get_histo_ave_3(char*) { return -1; }
int IFC_get_histo_ave_4(char*) { return -1; }
int IFC_get_histo_ave_5(char*) { return -1; }
int IFC_get_histo_ave_6(char*) { return -1; }
int IFC_get_hst_select(char*) { return -1; }
int IFC_get_hist_cntdatL(char*) { return -1; }
int IFC_get_hist_cntdatR(char*) { return -1; }
int IFC_set_select_item(char*, int) { return not_built_yet(); }
int IFC_set_stat(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_1(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_2(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_3(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_4(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_5(char*, int) { return not_built_yet(); }
int IFC_set_to_tw_6(char*, int) { return not_built_yet(); }
int IFC_hst_select_item(char*, int) { return not_built_yet(); }
int IFC_hst_clear(char*, int) { return not_built_yet(); }
int IFC_hst_set(char*, int) { return not_built_yet(); }
