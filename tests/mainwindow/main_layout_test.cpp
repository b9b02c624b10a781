#include "mainwindow/main_layout.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

MainLayout at(float left, float top, float width, float height)
{
    MainLayout l = designedMainLayout();
    l.window = {left, top, width, height};
    return l;
}

} // namespace

TEST(MainLayout, atTheMinimumSizeEveryControlHasItsKnownPlace)
{
    const MainLayout l = layoutMainWindow(at(100, 100, 3900, 4575), false, 28800, 16200);
    EXPECT_EQ(l.cmdConstructWavFromString, (TwipsRect{60, 3425, 1785, 435}));
    EXPECT_EQ(l.cmdExit, (TwipsRect{2430, 3425, 1305, 435}));
    EXPECT_EQ(l.frameTextInput, (TwipsRect{60, 990, 3675, 576}));
    EXPECT_EQ(l.txtInputText, (TwipsRect{60, 240, 3555, 276}));
    EXPECT_EQ(l.frameDiagnosticOutput, (TwipsRect{60, 1650, 3675, 1635}));
    EXPECT_EQ(l.txtDiag, (TwipsRect{60, 270, 3555, 1305}));
    EXPECT_EQ(l.frameFileName, (TwipsRect{60, 180, 3675, 675}));
    EXPECT_EQ(l.cmdBrowse, (TwipsRect{2520, 300, 1065, 315}));
    EXPECT_EQ(l.txtOutputFileName, (TwipsRect{60, 315, 2445, 285}));
}

TEST(MainLayout, tooSmallSnapsBackAndEqualsTheMinimumLayout)
{
    const MainLayout minimum = layoutMainWindow(at(100, 100, 3900, 4575), false, 28800, 16200);
    const MainLayout small = layoutMainWindow(at(100, 100, 1000, 2000), false, 28800, 16200);
    EXPECT_EQ(small, minimum);
    EXPECT_EQ(layoutMainWindow(at(100, 100, 3000, 9000), false, 28800, 16200).window.width, 3900);
    EXPECT_EQ(layoutMainWindow(at(100, 100, 9000, 100), false, 28800, 16200).window.height, 4575);
}

TEST(MainLayout, onlyLeftAndTopEdgesOffTheScreenAreMovedIn)
{
    const struct
    {
        float left, top;
        float expectLeft, expectTop;
    } cases[] = {
        {-500, 300, 1, 300},
        {300, -48000, 300, 1},
        {28801, 300, 1, 300},
        {300, 16201, 300, 1},
        {28000, 15000, 28000, 15000}, // right and bottom parts off the screen: not
                                      // moved
        {0, 0, 0, 0},
        {28800, 16200, 28800, 16200},
    };
    for (const auto& c : cases) {
        const MainLayout l = layoutMainWindow(at(c.left, c.top, 9930, 4990), false, 28800, 16200);
        EXPECT_EQ(l.window.left, c.expectLeft) << c.left;
        EXPECT_EQ(l.window.top, c.expectTop) << c.top;
    }
}

TEST(MainLayout, minimizedChangesNothingAndGrowthGoesToTheTextFrame)
{
    const MainLayout odd = at(-500, -500, 10, 10);
    EXPECT_EQ(layoutMainWindow(odd, true, 28800, 16200), odd);

    const MainLayout big = layoutMainWindow(at(0, 0, 15000, 9000), false, 28800, 16200);
    EXPECT_EQ(big.frameTextInput.height, 9000 - 3999);
    EXPECT_EQ(big.frameDiagnosticOutput.height, 1635);
    EXPECT_EQ(big.frameFileName.height, 675);
    EXPECT_EQ(big.frameDiagnosticOutput.top, 9000 - 2925);
    EXPECT_EQ(big.cmdExit.left, 15000 - 1470);
    EXPECT_EQ(big.cmdBrowse.left, 15000 - 225 - 1155);
    // At the designed size the rules give back the designed places of the bottom row.
    const MainLayout designed = layoutMainWindow(designedMainLayout(), false, 28800, 16200);
    EXPECT_EQ(designed.cmdConstructWavFromString, designedMainLayout().cmdConstructWavFromString);
    EXPECT_EQ(designed.cmdExit, designedMainLayout().cmdExit);
}
