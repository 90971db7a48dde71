// com_ifc: the in-memory locations of the 20 sub valves.
//
// The table starts with sub1..sub7 at 210, 450, .. 1650 and the rest at 0 on
// every start; it is never saved. Not reachable from the command tables;
// kept as the module's interface.
#pragma once

#include <cstdint>

// Writes "sub1:%d " .. "sub20:%d " into `out` (at most 251 bytes and a NUL,
// like a GET handler) and returns the reply length.
int IFC_get_valve_loc(char* out);
// Stores `location` for sub valve `number` (1..20); other numbers are ignored
// without a message.
void IFC_set_valve_loc(int16_t number, int16_t location);
