#include <gtest/gtest.h>

#include <limits>

#include "ZxMusicCore/Variant.h"

namespace {

enum eColourTest { COLOUR_RED, COLOUR_GREEN };

std::string Text(double d) { return Variant(d).ToString(); }

TEST(Variant, DoubleText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {12.0, "12"}, {0.0, "0"}, {-3.0, "-3"},
        // Whole numbers print as integers whatever their size.
        {1e9 + 1, "1000000001"}, {1e15, "1000000000000000"}, {-1e9 - 1, "-1000000001"},
        // Below 0.005 and above 1e9 the exponent form.
        {0.004, "4.000000e-03"}, {-0.004, "-4.000000e-03"}, {1e9 + 0.5, "1.000000e+09"}, {-1e9 - 0.5, "-1.000000e+09"},
        {0.005, "0.0050"}, {1.5, "1.5000"}, {123456.789, "123456.7890"}, {3.14159265, "3.1416"},
        // A negative fraction keeps it (its magnitude is compared).
        {-2.5, "-2.5000"},
        // Beyond the integer range: no overflow.
        {1e300, "1.000000e+300"}, {-1e19, "-1.000000e+19"},
    };
    for (const auto& c : cases) EXPECT_EQ(Text(c.value), c.text) << c.value;
    EXPECT_FALSE(Text(std::numeric_limits<double>::infinity()).empty());
    EXPECT_FALSE(Text(std::numeric_limits<double>::quiet_NaN()).empty());
}

TEST(Variant, OtherTypesTextAndNumber) {
    EXPECT_EQ(Variant(true).ToString(), "true");
    EXPECT_EQ(Variant(false).ToString(), "false");
    EXPECT_EQ(Variant(true).ToDouble(), 1.0);
    EXPECT_EQ(Variant(false).ToDouble(), 0.0);
    EXPECT_EQ(Variant(-42).ToString(), "-42");
    EXPECT_EQ(Variant(-42).ToDouble(), -42.0);
    EXPECT_EQ(Variant(std::string("3.5")).ToDouble(), 3.5);
    EXPECT_EQ(Variant(std::string(" -7e2 ")).ToDouble(), -700.0);
    EXPECT_EQ(Variant(std::string("abc")).ToDouble(), 0.0);
    EXPECT_EQ(Variant(std::string("")).ToDouble(), 0.0);
    EXPECT_EQ(Variant("literal").ToString(), "literal");
    EXPECT_EQ(Variant(std::string("维莫")).ToString(), "维莫");
    // Enumerations give the name of their type and no number.
    EXPECT_EQ(Variant(COLOUR_GREEN).ToString(), typeid(eColourTest).name());
    EXPECT_NE(Variant(COLOUR_GREEN).ToString().find("eColourTest"), std::string::npos);
    EXPECT_EQ(Variant(COLOUR_GREEN).ToDouble(), 0.0);
    EXPECT_TRUE(Variant(COLOUR_GREEN).TypeInfo() == typeid(eColourTest));
}

TEST(Variant, CopiesCloneTheValue) {
    Variant a(std::string("first"));
    Variant b(a);
    ASSERT_NE(a.ValuePtr(), b.ValuePtr()) << "a copy owns its own holder";
    EXPECT_EQ(*static_cast<const std::string*>(b.ValuePtr()), "first");
    a = Variant(5);
    EXPECT_EQ(b.ToString(), "first");
    EXPECT_EQ(*static_cast<const int*>(a.ValuePtr()), 5);
    Variant moved(std::move(a));
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(moved.Get<int>(), 5);
    Variant empty;
    b = empty;
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.ValuePtr(), nullptr);
    EXPECT_EQ(b.ToString(), "");
    EXPECT_EQ(b.ToDouble(), 0.0);
}

TEST(ArgList, AppenderKeepsOrderAndPositionsReadBack) {
    ArgList args;
    ArgAppender(args) << COLOUR_RED << COLOUR_GREEN << 7 << true << 2.5 << std::string("path\\file");
    ArgAppender(args).Append("tail");
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(*static_cast<const eColourTest*>(args[1].ValuePtr()), COLOUR_GREEN);
    EXPECT_EQ(ArgAt<eColourTest>(args, 0), COLOUR_RED);
    EXPECT_EQ(ArgAt<int>(args, 2), 7);
    EXPECT_TRUE(ArgAt<bool>(args, 3));
    EXPECT_EQ(ArgAt<double>(args, 4), 2.5);
    EXPECT_EQ(ArgAt<std::string>(args, 5), "path\\file");
    EXPECT_EQ(ArgAt<std::string>(args, 6), "tail");
    // Conversions between the held and the asked type.
    EXPECT_EQ(ArgAt<std::string>(args, 2), "7");
    EXPECT_EQ(ArgAt<int>(args, 4), 2);
    EXPECT_EQ(ArgAt<int>(args, 3), 1);
}

TEST(Variant, NumbersAnIntegerCannotHoldGiveZero) {
    // Read from text or held as a double: beyond the range of int (or no
    // number at all) there is no int to give.
    EXPECT_EQ(Variant(std::string("1e300")).Get<int>(), 0);
    EXPECT_EQ(Variant(-1e300).Get<int>(), 0);
    EXPECT_EQ(Variant(2147483648.0).Get<int>(), 0);
    EXPECT_EQ(Variant(std::numeric_limits<double>::quiet_NaN()).Get<int>(), 0);
    EXPECT_FALSE(Variant(std::numeric_limits<double>::quiet_NaN()).Get<bool>());
    EXPECT_EQ(Variant(std::numeric_limits<double>::infinity()).Get<eColourTest>(), COLOUR_RED);
    EXPECT_EQ(Variant(-2147483648.0).Get<int>(), -2147483647 - 1);
    EXPECT_EQ(Variant(2147483647.9).Get<int>(), 2147483647);
    EXPECT_EQ(Variant(std::string("-7.9")).Get<int>(), -7);
    // A double keeps its fraction.
    EXPECT_EQ(Variant(std::string("2.5")).Get<double>(), 2.5);
    EXPECT_EQ(Variant(true).Get<double>(), 1.0);
}

TEST(ArgList, EmptyAndMissingValuesReadAsZeroFalseEmpty) {
    ArgList args;
    args.push_back(Variant());
    EXPECT_EQ(ArgAt<int>(args, 0), 0);
    EXPECT_FALSE(ArgAt<bool>(args, 0));
    EXPECT_EQ(ArgAt<double>(args, 0), 0.0);
    EXPECT_EQ(ArgAt<std::string>(args, 0), "");
    EXPECT_EQ(ArgAt<eColourTest>(args, 0), COLOUR_RED);
    EXPECT_EQ(ArgAt<int>(args, 5), 0) << "past the end";
    EXPECT_EQ(ArgAt<std::string>(args, 5), "");
}

}  // namespace
