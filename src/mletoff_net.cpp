// mletoff_net: the let-off button state command.
//
// `MLETOFF_set_btnstat` is the first row of the PUT command table: it prints
// the button state it receives as one line on standard output, whatever the
// debug switches, and keeps nothing. Called by the PUT dispatch of
// ether_parse.
#include "mletoff_net.h"

#include <cstdio>

int MLETOFF_set_btnstat(char* payload, int length) {
    // The dispatcher leaves one writable byte behind every payload.
    payload[length] = '\0';
    std::puts(payload);
    return 0;
}
