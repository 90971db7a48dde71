// mletoff_net: the let-off button state command.
#pragma once

// PUT handler: prints the payload text and a line feed on standard output.
int MLETOFF_set_btnstat(char* payload, int length);
