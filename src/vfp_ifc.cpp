// vfp_ifc: the valve settings table and the valve on/off timing commands.
//
// (module description to be completed)
#include "vfp_ifc.h"

#include <cstdio>

#include "ether_parse.h"
#include "lib_data2.h"
#include "lib_fp.h"
#include "sim_main.h"

// ==== Valve settings store ==================================================

// (working table, default table, I_vfp, i_vfp, VfpRead, VfpWrite)

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
