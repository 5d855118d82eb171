// Printing through formats that are not literals: a format is used only
// when its conversions are spelled as its model's, so that the arguments
// the compiler checked against the model are the ones it takes.
#include "CheckedFormat.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char *format;
    const char *model;
    bool same;
};

TEST(CheckedFormat, ConversionsMustBeTheModelsInOrderAndSpelledAlike) {
    const Case cases[] = {
        {"ERROR: couldn't open %s", "%s", true},
        {"%s needs %e bytes", "%s %e", true},
        {"no conversion, 100%% sure", "", true},
        {"%i of %i files", "%i %i", true},
        {"%s and %s", "%s", false},   // one more than the model
        {"%s", "%s %s", false},       // one fewer
        {"%e in %s", "%s %e", false}, // out of order
        {"%d files", "%i", false},    // the same argument, spelled otherwise
        {"%-10s|", "%s", false},      // a width the model lacks
        {"%*s", "%s", false},         // a width taken from the arguments
        {"%1$s", "%s", false},        // a positional argument
        {"%n", "", false},            // a conversion that writes
        {"the rest: 5%", "", false},  // a "%" at the very end
        {"%ls", "%s", false},         // a wide string
        {"%s%%%s", "%s %s", true},    // "%%" between two conversions
    };
    for (const Case &c : cases)
        EXPECT_EQ(SameConversions(c.format, c.model), c.same) << c.format << " | " << c.model;
    EXPECT_FALSE(SameConversions(nullptr, "%s"));
}

TEST(CheckedFormat, ARefusedFormatWritesNothing) {
    char text[32] = "old";
    errno = 0;
    EXPECT_EQ(CheckedSnprintf(text, sizeof text, "%s and %s", "%s", "a"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(CheckedSnprintf(text, sizeof text, "<%s> %e", "%s %e", "a", 1.5), 16);
    EXPECT_STREQ(text, "<a> 1.500000e+00");
}

} // namespace
