// Viewer defaults and the colour table.
#include <gtest/gtest.h>

#include <string>

#include "frontend/calc/viewstate.h"
#include "viewcalc/view_defaults_check.h"

namespace tarvex {
namespace {

TEST(ViewDefaults, AfterStartUp) {
    set_view_defaults();
    testing::expect_view_defaults();
}

TEST(ColourTable, EntriesOfEachScheme) {
    SETUPCOLOR();
    struct Case {
        int scheme, entry;
        std::uint32_t bgr;
    };
    const Case cases[] = {
        {1, 1, 0xFF0000}, {1, 2, 0xEE0011}, {1, 16, 0x0000FF}, {1, 17, 0x000000},
        {2, 8, 0x11EE00}, {2, 9, 0x00EE11}, {2, 23, 0xF0F0F0},
        {3, 16, 0xFFFFFF}, {3, 19, 0x00FFFF},   // yellow grid lines
        {4, 1, 0xFF0000}, {4, 6, 0x00FF00}, {4, 11, 0x00FFFF}, {4, 16, 0x0000FF}, {4, 20, 0x2A2A2A},
        {5, 1, 0x7F0000}, {5, 9, 0x00FF18}, {5, 21, 0x707070},
        {6, 6, 0x666666}, {6, 7, 0x6A6A6A}, {6, 8, 0x747474}, {6, 17, 0xFFFFFF}, {6, 18, 0x000000},
        {7, 1, 0xE4E4E4}, {7, 16, 0x202020}, {7, 21, 0x0C0C0C}, {7, 23, 0x050505},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plotopt.COLTAB[c.scheme][c.entry], c.bgr) << "scheme " << c.scheme << " entry " << c.entry;
}

TEST(ColourTable, PaperSwapsTheRolePairs) {
    set_view_defaults();
    plotopt.ISCHEME = 6;
    EXPECT_EQ(role_colour(colour_entry::BACKGROUND), 0xFFFFFFu);   // white on screen
    EXPECT_EQ(role_colour(colour_entry::TEXT), 0x000000u);
    plotopt.PAPER = true;
    // Scheme 6 on paper: a black background and white text.
    EXPECT_EQ(role_colour(colour_entry::BACKGROUND), 0x000000u);
    EXPECT_EQ(role_colour(colour_entry::TEXT), 0xFFFFFFu);
    EXPECT_EQ(role_colour(colour_entry::OPEN_FILL), 0x0C0C0Cu);
    EXPECT_EQ(role_colour(colour_entry::BLOCKED_FILL), 0x707070u);
    EXPECT_EQ(role_colour(colour_entry::OPEN_FACE), 0x050505u);
    EXPECT_EQ(role_colour(colour_entry::CLOSED_FACE), 0xF0F0F0u);
    EXPECT_EQ(role_colour(colour_entry::GRID), 0x000000u);   // the same on both
    EXPECT_EQ(role_colour(5), plotopt.COLTAB[6][5]);         // bands keep their entry
    // Schemes 1, 2, 4 and 5 draw white grid lines on the white paper.
    for (int s : {1, 2, 4, 5}) {
        plotopt.ISCHEME = s;
        EXPECT_EQ(role_colour(colour_entry::GRID), 0xFFFFFFu) << s;
        EXPECT_EQ(role_colour(colour_entry::BACKGROUND), 0xFFFFFFu) << s;
    }
    set_view_defaults();
}

TEST(ViewTitle, CutOrPaddedToTwentyCharacters) {
    set_pltitle("Temperature C");
    EXPECT_EQ(std::string(viewwin.PLTITLE, 20), "Temperature C       ");
    set_pltitle("a caption longer than twenty");
    EXPECT_EQ(std::string(viewwin.PLTITLE, 20), "a caption longer tha");
}

}  // namespace
}  // namespace tarvex
