// Blank-padded names.
#include <gtest/gtest.h>

#include <string>

#include "common/names.h"

namespace tarvex {
namespace {

TEST(PaddedName, StoresPaddedAndOpensTrimmed) {
    PaddedName name;
    EXPECT_EQ(name.padded(), std::string(255, ' '));
    EXPECT_EQ(name.trimmed(), "");

    ASSERT_TRUE(name.assign("INPUT"));
    EXPECT_EQ(name.padded().size(), 255u);
    EXPECT_EQ(name.padded(), "INPUT" + std::string(250, ' '));
    EXPECT_EQ(name.trimmed(), "INPUT");

    // Leading and inner blanks belong to the name; a shorter name replaces
    // all of a longer one.
    ASSERT_TRUE(name.assign(" my case.dat "));
    EXPECT_EQ(name.trimmed(), " my case.dat");
    ASSERT_TRUE(name.assign("a"));
    EXPECT_EQ(name.padded(), "a" + std::string(254, ' '));
    EXPECT_EQ(name, PaddedName("a"));
    EXPECT_FALSE(name == PaddedName("b"));
}

TEST(PaddedName, RefusesTooLongNames) {
    const std::string longest(255, 'x');
    PaddedName name("OUTPUT");
    ASSERT_TRUE(name.assign(longest));
    EXPECT_EQ(name.trimmed(), longest);

    ASSERT_TRUE(name.assign("OUTPUT"));
    EXPECT_FALSE(name.assign(longest + "y"));
    EXPECT_EQ(name.trimmed(), "OUTPUT");  // unchanged, not cut

    // The constructor cannot refuse: a name that does not fit names nothing.
    EXPECT_EQ(PaddedName(longest + "y").trimmed(), "");
}

TEST(TrimRight, OnlyBlanks) {
    EXPECT_EQ(trim_right("abc  "), "abc");
    EXPECT_EQ(trim_right("  abc"), "  abc");
    EXPECT_EQ(trim_right("abc\t"), "abc\t");
    EXPECT_EQ(trim_right("   "), "");
    EXPECT_EQ(trim_right(""), "");
}

}  // namespace
}  // namespace tarvex
