#include "tuning/TemperamentSet.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "store/StoreSetup.h"

TEST(TemperamentText, FormatsSixSignificantDigits) {
    std::array<double, 12> o;
    o.fill(-2.0);
    EXPECT_EQ(FormatTemperamentText(o), "-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2");
    o[0] = -5.5;
    o[1] = 1.0 / 3.0;
    o[2] = -5.8650001;
    o[3] = 1e-7;
    o[4] = 1234567.0;
    o[5] = 0.0;
    EXPECT_EQ(FormatTemperamentText(o).substr(0, 49),
              "-5.5,0.333333,-5.865,1e-07,1.23457e+06,0,-2,-2,-2");
}

TEST(TemperamentText, ParsesAsAtofFieldByField) {
    std::array<double, 12> o{};
    ASSERT_TRUE(ParseTemperamentText("-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2", o));
    for (double v : o) {
        EXPECT_EQ(v, -2.0);
    }
    // Empty fields read 0, white space before a number is skipped, junk after it
    // is ignored, and a field without a number is 0.
    ASSERT_TRUE(ParseTemperamentText("-2,, 3.5,4abc,x,1e1,-0.5,7,8,9,10,11", o));
    EXPECT_EQ(o[0], -2.0);
    EXPECT_EQ(o[1], 0.0);
    EXPECT_EQ(o[2], 3.5);
    EXPECT_EQ(o[3], 4.0);
    EXPECT_EQ(o[4], 0.0);
    EXPECT_EQ(o[5], 10.0);
    EXPECT_EQ(o[11], 11.0);
    // The twelfth field runs to the end: further commas and text are ignored.
    ASSERT_TRUE(ParseTemperamentText("1,2,3,4,5,6,7,8,9,10,11,12,13,junk", o));
    EXPECT_EQ(o[11], 12.0);
    // Eleven commas are the least; eleven fields only is still twelve fields.
    ASSERT_TRUE(ParseTemperamentText("1,2,3,4,5,6,7,8,9,10,11,", o));
    EXPECT_EQ(o[11], 0.0);
}

TEST(TemperamentText, TooFewCommasFailsAndLeavesOffsets) {
    std::array<double, 12> o;
    o.fill(7.0);
    EXPECT_FALSE(ParseTemperamentText("1,2,3", o));
    EXPECT_FALSE(ParseTemperamentText("1,2,3,4,5,6,7,8,9,10,11", o));  // ten commas
    EXPECT_FALSE(ParseTemperamentText("", o));
    for (double v : o) {
        EXPECT_EQ(v, 7.0);
    }
}

TEST(TemperamentText, RoundTripRoundsToSixDigits) {
    std::array<double, 12> o;
    o.fill(-2.0);
    o[0] = -2.123456789;
    o[11] = -1.876543211;
    std::array<double, 12> back{};
    ASSERT_TRUE(ParseTemperamentText(FormatTemperamentText(o), back));
    EXPECT_EQ(back[0], -2.12346);
    EXPECT_EQ(back[11], -1.87654);
}

TEST(TemperamentText, IndependentOfTheProcessLocale) {
    // A toolkit may switch the C locale to the user's; numbers must not follow.
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    std::array<double, 12> o{};
    const bool ok = ParseTemperamentText("-5.5,-5.5,-5.5,-5.5,-5.5,0,0,0,7.25,7.25,-5.5,-5.5", o);
    std::array<double, 12> in;
    in.fill(-5.5);
    const std::string text = FormatTemperamentText(in);
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(ok) << (chosen ? chosen : "C");
    EXPECT_EQ(o[8], 7.25);
    EXPECT_EQ(text.substr(0, 5), "-5.5,");
}

TEST(TemperamentSet, AddFindReplaceRemove) {
    CTemperamentSet set;
    EXPECT_EQ(set.Find("Equal"), nullptr);
    EXPECT_EQ(set.Count(), 0u);

    ASSERT_TRUE(set.AddFromText("-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2", "Equal"));
    CTemperament* equal = set.Find("Equal");
    ASSERT_NE(equal, nullptr);
    EXPECT_EQ(equal->GetRotation(), 0);
    EXPECT_EQ(set.Find("equal"), nullptr);  // names are exact

    EXPECT_FALSE(set.AddFromText("1,2", "Equal"));  // a failed parse keeps the old one
    EXPECT_EQ(set.Find("Equal"), equal);

    ASSERT_TRUE(set.AddFromText("0,0,0,0,0,0,0,0,-24,0,0,0", "Equal"));
    EXPECT_EQ(set.Find("Equal")->GetOffset(8), -24.0);
    EXPECT_EQ(set.Count(), 1u);

    set.Remove("Nothing");
    EXPECT_EQ(set.Count(), 1u);
    set.Remove("Equal");
    EXPECT_EQ(set.Find("Equal"), nullptr);
}

TEST(TemperamentSet, OrdersNamesByteWise) {
    CTemperamentSet set;
    for (const char* name : {"b", "B", "a", "A"}) {
        ASSERT_TRUE(set.AddFromText("0,0,0,0,0,0,0,0,0,0,0,-24", name));
    }
    std::string order;
    for (const auto& entry : set) {
        order += entry.first;
    }
    EXPECT_EQ(order, "ABab");
}

TEST(SeedCatalogue, EveryTemperamentParsesAndClosesTheCircle) {
    const auto seeds = SeedCatalogue();
    ASSERT_EQ(seeds.size(), 23u);
    EXPECT_EQ(seeds.front().name, "Equal temperament");
    CTemperamentSet set;
    for (const SeedTemperament& s : seeds) {
        ASSERT_TRUE(set.AddFromText(s.text, s.name)) << s.name;
        double sum = 0;
        std::array<double, 12> o{};
        ASSERT_TRUE(ParseTemperamentText(s.text, o));
        for (double v : o) {
            sum += v;
        }
        EXPECT_NEAR(sum, -24.0, 1e-4) << s.name;
        // The text is already in the stored form: formatting it again changes nothing.
        EXPECT_EQ(FormatTemperamentText(o), s.text) << s.name;
        const double c = set.Find(s.name)->GetPosition(0);
        EXPECT_TRUE(c < 1e-3 || c > 1200 - 1e-3) << s.name;
    }
    EXPECT_EQ(set.Count(), seeds.size());
}
