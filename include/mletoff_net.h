// mletoff_net: the let-off button state command.
#pragma once

// PUT handler: terminates the payload at payload[length] (one writable byte
// must follow it), prints the text up to its first NUL and a line feed on
// standard output, whatever the debug switches. Returns 0 (ignored).
int MLETOFF_set_btnstat(char* payload, int length);
