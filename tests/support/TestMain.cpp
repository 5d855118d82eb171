// The gtest main of every test program: it also checks the block memory
// manager's consistency after each test, so that any facility that corrupts
// the MATs or the block list fails the test that did it.
#include "MemMgr.h"

#include <gtest/gtest.h>

namespace {

class MemCheckListener : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo &) override {
        char why[256];
        if (!MemCheck(why, sizeof why))
            ADD_FAILURE() << "block memory manager inconsistent after the test: " << why;
    }
};

} // namespace

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    // Death tests re-run the program, which is safe with the library's globals.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::UnitTest::GetInstance()->listeners().Append(new MemCheckListener);
    return RUN_ALL_TESTS();
}
