// com_ifc: the locations of the 20 sub valves.
//
// Owns the location table `sub`, kept in process memory only: every start
// begins with the initial values. Offers a reply builder with the shape of a
// GET handler and a setter; no command table lists them, so they are reached
// only by callers inside the program.
#include "com_ifc.h"

#include <cstdio>

namespace {

constexpr int SUB_VALVES = 20;

// Sub valves 1 to 7 sit 240 apart from 210; the others at 0.
int16_t sub[SUB_VALVES] = {210, 450, 690, 930, 1170, 1410, 1650};

// Twenty items "subN:%d " of at most 12 bytes, and the NUL of snprintf.
constexpr int REPLY_CAPACITY = 252;

}  // namespace

int IFC_get_valve_loc(char* out) {
    int length = 0;
    for (int i = 0; i < SUB_VALVES; ++i) {
        length += std::snprintf(out + length, static_cast<std::size_t>(REPLY_CAPACITY - length),
                                "sub%d:%d ", i + 1, sub[i]);
    }
    return length;
}

void IFC_set_valve_loc(int16_t number, int16_t location) {
    if (number >= 1 && number <= SUB_VALVES) sub[number - 1] = location;
}
