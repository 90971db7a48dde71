// com_ifc: the in-memory locations of the 20 sub valves.
//
// Not reachable from the command tables; kept as the module's interface.
#pragma once

#include <cstdint>

// Writes "sub1:%d " .. "sub20:%d " into `out`; returns the reply length.
int IFC_get_valve_loc(char* out);
// Stores `location` for sub valve `number` (1..20); other numbers are ignored.
void IFC_set_valve_loc(int16_t number, int16_t location);
