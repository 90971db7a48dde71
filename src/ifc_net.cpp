// ifc_net: the interface settings table and the interface data commands.
//
// (module description to be completed)
#include "ifc_net.h"

#include <cstdio>

#include "ether_parse.h"
#include "lib_data2.h"
#include "sim_main.h"

// ==== Interface settings store ==============================================

// (working table, default table, I_ifc, i_ifc, Ifc_SetRead, Ifc_SetWrite)

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
