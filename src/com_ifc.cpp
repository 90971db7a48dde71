// com_ifc
// (to be built)
#include "com_ifc.h"
