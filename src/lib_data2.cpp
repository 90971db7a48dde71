// lib_data2: parameter-table operations, buffered console printing, clock.
//
// (module description to be completed)
#include "lib_data2.h"

// ==== Parameter table operations ============================================

// (layout checks, lookup, fp_main_read/write/compare, change_i4_*, setup_i4)

// ==== Buffered console printing =============================================

// (mprint_chg, mprnP, mprnD, MorPrintf, mprint_push, mprint_pull, mprint_pull_log)

// ==== Clock =================================================================

// (what_time)
