#include "List.h"
#include <gtest/gtest.h>
TEST(ListSmoke, Builds) {
    EXPECT_EQ(ListFindItemN(nullptr, 1), nullptr);
}
