// mletoff_net
// (to be built)
#include "mletoff_net.h"

int MLETOFF_set_btnstat(char*, int) { return 0; }
