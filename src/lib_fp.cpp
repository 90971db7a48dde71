// lib_fp: the key:value list parser, plain console printing and the CGI
// response routines.
//
// (module description to be completed)
#include "lib_fp.h"

// ==== Key:value list parser =================================================

// (l2m2, line2matrix2)

// ==== Plain console printing ================================================

// (SorPrintf, vSorPrintf, sprint_push, sprint_pull)

// ==== CGI response routines =================================================

// (is_show_debinfo_first, attribute records, mac_title, lib_fp_js_opt, routines)
