// The reply of every IFC_get_on_off_N on the built-in valve table: the fixed
// first item and the 45 timings, 554 bytes, one space behind every item.
#pragma once

#include <string>

inline const std::string VALVE_DEFAULT_REPLY =
    "ATC_TO_DELAY:0 pin_on:70 abs_on:215 abs_off:255 main_on:90 main_off:160 "
    "tandem_on:95 tandem_off:150 stretch_on:0 stretch_off:0 "
    "sub1_on:95 sub1_off:135 sub2_on:115 sub2_off:155 sub3_on:135 sub3_off:175 "
    "sub4_on:150 sub4_off:190 sub5_on:165 sub5_off:205 sub6_on:185 sub6_off:280 "
    "sub7_on:200 sub7_off:300 sub8_on:220 sub8_off:300 sub9_on:0 sub9_off:0 "
    "sub10_on:0 sub10_off:0 sub11_on:0 sub11_off:0 sub12_on:0 sub12_off:0 "
    "sub13_on:0 sub13_off:0 sub14_on:0 sub14_off:0 sub15_on:0 sub15_off:0 "
    "sub16_on:0 sub16_off:0 sub17_on:0 sub17_off:0 sub18_on:0 sub18_off:0 ";
