#include "layout/main_layout.h"

#include <gtest/gtest.h>

#include <array>

using namespace quillfen;

namespace {

MainLayout laidOut(float left, float top, float width, float height, bool minimized = false)
{
    MainLayout l = designedMainLayout();
    l.window = {left, top, width, height};
    return layoutMainWindow(l, minimized, 28800, 16200);
}

} // namespace

TEST(MainLayout, atTheMinimumSizeEveryControlHasItsKnownPlaceAndSmallerSnapsBack)
{
    const MainLayout l = laidOut(100, 100, 3900, 4575);
    EXPECT_EQ(l.cmdConstructWavFromString, (TwipsRect{60, 3425, 1785, 435}));
    EXPECT_EQ(l.cmdExit, (TwipsRect{2430, 3425, 1305, 435}));
    EXPECT_EQ(l.frameTextInput, (TwipsRect{60, 990, 3675, 576}));
    EXPECT_EQ(l.txtInputText, (TwipsRect{60, 240, 3555, 276}));
    EXPECT_EQ(l.frameDiagnosticOutput, (TwipsRect{60, 1650, 3675, 1635}));
    EXPECT_EQ(l.txtDiag, (TwipsRect{60, 270, 3555, 1305}));
    EXPECT_EQ(l.frameFileName, (TwipsRect{60, 180, 3675, 675}));
    EXPECT_EQ(l.cmdBrowse, (TwipsRect{2520, 300, 1065, 315}));
    EXPECT_EQ(l.txtOutputFileName, (TwipsRect{60, 315, 2445, 285}));
    EXPECT_EQ(laidOut(100, 100, 1000, 2000), l);
    EXPECT_EQ(laidOut(100, 100, 3899, 4574), l); // the minimum holds to the twip
}

TEST(MainLayout, onlyLeftAndTopEdgesOffTheScreenAreMovedInAndMinimizedNothingChanges)
{
    // left, top -> left, top; right and bottom parts off the screen are left alone.
    const std::array<float, 4> cases[] = {{-500, 300, 1, 300},
                                          {300, -48000, 300, 1},
                                          {28801, 300, 1, 300},
                                          {300, 16201, 300, 1},
                                          {0, 0, 0, 0},
                                          {28000, 15000, 28000, 15000},
                                          {28800, 16200, 28800, 16200}}; // exactly at the edge stays
    for (const auto& [left, top, expectLeft, expectTop] : cases) {
        const TwipsRect w = laidOut(left, top, 9930, 4990).window;
        EXPECT_EQ(std::pair(w.left, w.top), std::pair(expectLeft, expectTop)) << left << ", " << top;
    }
    MainLayout odd = designedMainLayout();
    odd.window = {-500, -500, 10, 10};
    EXPECT_EQ(laidOut(-500, -500, 10, 10, true), odd);
}
