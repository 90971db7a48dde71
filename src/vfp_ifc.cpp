// vfp_ifc: the valve settings table and the valve on/off timing commands.
//
// (module description to be completed)
#include "vfp_ifc.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "ether_parse.h"
#include "lib_data2.h"
#include "lib_fp.h"
#include "sim_main.h"

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
// Placeholder until the command is built: answers like an unknown command.
int not_built_yet() {
    if (deb_ether_parse) std::puts("not found");
    return 0;
}
}  // namespace

int IFC_get_on_off_1(char*) { return -1; }
int IFC_get_on_off_2(char*) { return -1; }
int IFC_get_on_off_3(char*) { return -1; }
int IFC_get_on_off_4(char*) { return -1; }
int IFC_get_on_off_5(char*) { return -1; }
int IFC_get_on_off_6(char*) { return -1; }
int IFC_set_on_off_1(char*, int) { return not_built_yet(); }
int IFC_set_on_off_2(char*, int) { return not_built_yet(); }
int IFC_set_on_off_3(char*, int) { return not_built_yet(); }
int IFC_set_on_off_4(char*, int) { return not_built_yet(); }
int IFC_set_on_off_5(char*, int) { return not_built_yet(); }
int IFC_set_on_off_6(char*, int) { return not_built_yet(); }
