// tcp9001: the program entry and the connection loop.
// (to be built)
#include "tcp9001.h"

int16_t deb_tcp9001 = 1;
int32_t tcp9001_break = 0;
char ether_tcpc_data[TCP9001_MAX_BODY + 1];

#ifndef TCP9001_NO_MAIN
int main() { return 1; }
#endif
