// Dispatch of names that no command matches.
#include <gtest/gtest.h>

#include <cstring>

#include "ether_parse.h"

TEST(Dispatch, NulPaddedGetNameMatchesNothing) {
    char name[21] = "IFC_get_stat";  // rest of the field is NUL
    char out[64];
    EXPECT_EQ(ether_get_data(name, out), -1);
}
