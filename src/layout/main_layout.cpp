#include "layout/main_layout.h"

namespace quillfen {

MainLayout designedMainLayout()
{
    MainLayout l;
    l.window = {0, 0, kDesignedWindowWidth, kDesignedWindowHeight};
    l.frameDiagnosticOutput = {60, 2070, 9675, 1635};
    l.txtDiag = {60, 270, 9585, 1305};
    l.frameTextInput = {60, 990, 9705, 1005};
    l.txtInputText = {60, 240, 9585, 705};
    l.cmdConstructWavFromString = {60, 3840, 1785, 435};
    l.frameFileName = {60, 180, 9705, 675};
    l.txtOutputFileName = {60, 315, 8505, 285};
    l.cmdBrowse = {8580, 300, 1065, 315};
    l.cmdExit = {8460, 3840, 1305, 435};
    return l;
}

MainLayout layoutMainWindow(const MainLayout& current, bool minimized, float screenWidth, float screenHeight)
{
    MainLayout l = current;
    if (minimized)
        return l;
    float& W = l.window.width;
    float& H = l.window.height;
    if (W < kMinimumWindowWidth)
        W = kMinimumWindowWidth;
    if (H < kMinimumWindowHeight)
        H = kMinimumWindowHeight;
    // Only the left and top edges are tested: a window may hang off the right or bottom.
    if (l.window.left < 0 || l.window.left > screenWidth)
        l.window.left = 1;
    if (l.window.top < 0 || l.window.top > screenHeight)
        l.window.top = 1;

    l.cmdConstructWavFromString.top = H - 1150;
    l.cmdExit.top = l.cmdConstructWavFromString.top;
    l.cmdExit.left = W - 1470;
    l.frameTextInput.height = H - 3999;
    l.frameDiagnosticOutput.top = H - 2925;
    l.frameTextInput.width = W - 225;
    l.frameDiagnosticOutput.width = l.frameTextInput.width;
    l.frameFileName.width = l.frameTextInput.width;
    l.txtInputText.height = l.frameTextInput.height - 300;
    l.txtDiag.height = l.frameDiagnosticOutput.height - 330;
    l.txtInputText.width = l.frameTextInput.width - 120;
    l.txtDiag.width = l.txtInputText.width;
    l.cmdBrowse.left = l.frameFileName.width - 1155;
    l.txtOutputFileName.width = l.frameFileName.width - 1230;
    return l;
}

} // namespace quillfen
