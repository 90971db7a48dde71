// ifc_net: the interface settings table and the interface data commands.
//
// Owns the interface settings ("ifc_set.set": selection switches, status,
// targets, histogram selections), the simulated measurement source, and the
// GET/PUT handlers that report and change them.
#pragma once

#include <cstdint>

// ---- Interface settings store ---------------------------------------------

inline constexpr int IFC_TABLE_RECORDS = 10;
inline constexpr const char* IFC_SET_FILE = "ifc_set.set";

// Copies the default table over the working table.
void I_ifc();
// Loads "ifc_set.set" into the working table, or saves the defaults when the
// file is missing, unreadable or short. Returns the table size when loaded
// whole, else the result of the save.
int i_ifc();
// Reloads the file, then reads colour `c` of record `name` into *out.
// Returns 0, or -1 with *out untouched.
int Ifc_SetRead(const char* name, int* out, int c);
// Reloads the file, stores `value` as colour `c` of `name`, saves the table.
// Returns 0, or -1 when no usable record has this name.
int Ifc_SetWrite(const char* name, int value, int c);

// ---- Simulated measurement source -------------------------------------------

inline constexpr int INFO_BLOCK_WORDS = 186;
inline constexpr int HISTO_BINS = 46;

struct histo_rec {
    int32_t bins[HISTO_BINS];
    double summary;
    int32_t word1;
    int32_t word2;
    int32_t word3;
    int32_t word4;
};

// Fills the measurement block (the caller zeroes it first). Returns 1000.
int INFO_get(int32_t* info_block);
// Fills `h` with the simulated histogram of `side` (0 left, else right).
// Returns 500.
int get_histo(int side, int color, int item_no, histo_rec* h);
// Print their request line on standard output; return its length.
int clear_histo(int color, int item_no);
int set_histo(int lcolor, int litem, int lt, int rcolor, int ritem, int rt, int samp);

// ---- GET handlers: write the reply into `out`, return its length ----------

int IFC_get_select_item(char* out);
int IFC_get_stat(char* out);
int IFC_get_Tot_Twt_1(char* out);
int IFC_get_Tot_Twt_2(char* out);
int IFC_get_Tot_Twt_3(char* out);
int IFC_get_Tot_Twt_4(char* out);
int IFC_get_Tot_Twt_5(char* out);
int IFC_get_Tot_Twt_6(char* out);
int IFC_get_To_Tw_1(char* out);
int IFC_get_To_Tw_2(char* out);
int IFC_get_To_Tw_3(char* out);
int IFC_get_To_Tw_4(char* out);
int IFC_get_To_Tw_5(char* out);
int IFC_get_To_Tw_6(char* out);
int IFC_get_histo_ave_1(char* out);
int IFC_get_histo_ave_2(char* out);
int IFC_get_histo_ave_3(char* out);
int IFC_get_histo_ave_4(char* out);
int IFC_get_histo_ave_5(char* out);
int IFC_get_histo_ave_6(char* out);
int IFC_get_hst_select(char* out);
int IFC_get_hist_cntdatL(char* out);
int IFC_get_hist_cntdatR(char* out);

// ---- PUT handlers: payload with one writable byte behind it ---------------

int IFC_set_select_item(char* payload, int length);
int IFC_set_stat(char* payload, int length);
int IFC_set_to_tw_1(char* payload, int length);
int IFC_set_to_tw_2(char* payload, int length);
int IFC_set_to_tw_3(char* payload, int length);
int IFC_set_to_tw_4(char* payload, int length);
int IFC_set_to_tw_5(char* payload, int length);
int IFC_set_to_tw_6(char* payload, int length);
int IFC_hst_select_item(char* payload, int length);
int IFC_hst_clear(char* payload, int length);
int IFC_hst_set(char* payload, int length);
