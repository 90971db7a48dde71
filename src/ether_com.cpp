// ether_com
// (to be built)
#include "ether_com.h"
