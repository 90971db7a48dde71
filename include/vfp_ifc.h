// vfp_ifc: the valve settings table and the valve on/off timing commands.
//
// Owns the valve settings ("valve_fp.set": per-colour on/off timings) and
// the GET/PUT handlers that list and change the timings of one colour.
#pragma once

// ---- Valve settings store ---------------------------------------------------

inline constexpr int VFP_TABLE_RECORDS = 112;
inline constexpr const char* VFP_SET_FILE = "valve_fp.set";

// Copies the default table over the working table.
void I_vfp();
// Loads "valve_fp.set", or saves the defaults when the file is missing,
// unreadable or short. Returns the table size when loaded whole, else the
// result of the save.
int i_vfp();
// Reloads the file, then reads colour `c` of record `name` into *out.
// Returns 0, or -1 with *out untouched.
int VfpRead(const char* name, int* out, int c);
// Reloads the file, stores `value` as colour `c` of `name`, saves the table.
// Returns 0, or -1 when no usable record has this name.
int VfpWrite(const char* name, int value, int c);

// ---- GET handlers: "ATC_TO_DELAY:0 " and the 45 timings of one colour ----

int IFC_get_on_off_1(char* out);
int IFC_get_on_off_2(char* out);
int IFC_get_on_off_3(char* out);
int IFC_get_on_off_4(char* out);
int IFC_get_on_off_5(char* out);
int IFC_get_on_off_6(char* out);

// ---- PUT handlers: a key:value list, e.g. "main_on:120 main_off:200" ------

int IFC_set_on_off_1(char* payload, int length);
int IFC_set_on_off_2(char* payload, int length);
int IFC_set_on_off_3(char* payload, int length);
int IFC_set_on_off_4(char* payload, int length);
int IFC_set_on_off_5(char* payload, int length);
int IFC_set_on_off_6(char* payload, int length);
