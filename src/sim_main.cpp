// sim_main: settings-file primitives, the CGI log and the simulated
// machine state.
//
// (module description to be completed)
#include "sim_main.h"

// ==== Settings-file primitives ==============================================

// (hfp_load_data2, hfp_save_data2)

// ==== CGI log and machine state =============================================

// (append_log, status, kakudo, color_num, i_sim_main)
