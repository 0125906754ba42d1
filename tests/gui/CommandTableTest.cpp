// SPDX-License-Identifier: GPL-3.0-or-later
// The command vocabulary and the dialog-unit arithmetic, without windows.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include <wx/accel.h>

#include "controls/Pictures.h"
#include "gui/CommandTable.h"
#include "gui/DialogUnits.h"
#include "presenter/ViewIds.h"

TEST(DialogUnits, MapBothCornersWithRounding) {
    // 6 x 13 base units: x * 6 / 4 and y * 13 / 8, halves rounded up.
    EXPECT_EQ(DuX(7), 11);   // 10.5
    EXPECT_EQ(DuY(41), 67);  // 66.625
    EXPECT_EQ(DuX(490), 735);
    EXPECT_EQ(DuY(282), 458);  // 458.25
    EXPECT_EQ(DuX(-7), -11);
    // Adjacent rectangles stay adjacent: the width comes from both corners.
    const DuRect a{7, 41, 167, 24};
    const DuRect b{174, 41, 4, 24};
    EXPECT_EQ(a.Left() + a.Width(), b.Left());
    EXPECT_EQ(a.Width(), DuX(174) - DuX(7));
    EXPECT_EQ(a.Height(), DuY(65) - DuY(41));
}

TEST(CommandTable, PromptsTooltipsAndTheToolbar) {
    EXPECT_EQ(CommandPrompt(ID_OPTIONS), "Set options for Klavora");
    EXPECT_EQ(CommandTooltip(ID_OPTIONS), "Klavora options");
    EXPECT_EQ(CommandPrompt(ID_CONTEXT_HELP),
              "Display help for clicked on buttons, menus and windows");
    EXPECT_EQ(CommandTooltip(ID_CONTEXT_HELP), "Help");
    EXPECT_EQ(CommandPrompt(12345), "");
    // Every toolbar button has a picture, a prompt and a tooltip.
    for (int id : ToolbarLayout()) {
        if (id != 0) {
            EXPECT_NE(FindCommand(id), nullptr) << id;
            EXPECT_FALSE(CommandPrompt(id).empty()) << id;
            EXPECT_FALSE(CommandTooltip(id).empty()) << id;
            EXPECT_FALSE(DrawToolbarPicture(id).IsEmpty()) << id;
        }
    }
    // Check marks: the switches, the play modes and display modes, the bars,
    // the arithmetic.
    std::set<int> checked;
    for (const SCommandInfo& info : CommandTable()) {
        if (info.bCheck) {
            checked.insert(info.nId);
        }
    }
    EXPECT_EQ(
        checked,
        (std::set<int>{ID_TUNE_MICROPHONE, ID_PLAY_NOTES, ID_PLAY_SINGLE, ID_PLAY_MINOR_THIRDS,
                       ID_PLAY_MAJOR_THIRDS, ID_PLAY_FOURTHS, ID_PLAY_FIFTHS, ID_PLAY_MINOR_TRIADS,
                       ID_PLAY_MAJOR_TRIADS, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_CENTS,
                       ID_VIEW_DEVIATIONS, ID_VIEW_MINOR_THIRDS, ID_VIEW_MAJOR_THIRDS,
                       ID_VIEW_FREQUENCIES, ID_EXACT_TEMPERAMENTS}));
}

TEST(CommandTable, AcceleratorsAreTheThirteenEntries) {
    const auto& table = AcceleratorTable();
    ASSERT_EQ(table.size(), 13u);
    std::set<std::pair<int, int>> keys;
    for (const SAccelInfo& accel : table) {
        keys.insert({accel.nFlags, accel.nKeyCode});
    }
    EXPECT_EQ(keys.size(), 13u);
    // The shortcuts the menu shows for New, Edit and Delete are hints only.
    for (int key : {'N', 'E', 'D'}) {
        EXPECT_EQ(keys.count({wxACCEL_CTRL, key}), 0u) << char(key);
    }
    // F1 is help for the current context, Shift+F1 the context-help mode.
    for (const SAccelInfo& accel : table) {
        if (accel.nKeyCode == WXK_F1) {
            EXPECT_EQ(accel.nCommand, accel.nFlags == wxACCEL_SHIFT ? ID_CONTEXT_HELP : ID_HELP);
        }
    }
}
