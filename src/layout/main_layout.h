#pragma once

namespace quillfen {

// Geometry in twips; a child's Left and Top are measured inside its frame.
struct TwipsRect
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

struct MainLayout
{
    TwipsRect window; // outer geometry: frame, caption and menu bar included
    TwipsRect frameFileName, txtOutputFileName, cmdBrowse;
    TwipsRect frameTextInput, txtInputText;
    TwipsRect frameDiagnosticOutput, txtDiag;
    TwipsRect cmdConstructWavFromString, cmdExit;
    friend bool operator==(const MainLayout&, const MainLayout&) = default;
};

constexpr float kMinimumWindowWidth = 3900;
constexpr float kMinimumWindowHeight = 4575;
// The designed outer size around the 9810 x 4305 client area.
constexpr float kDesignedWindowWidth = 9930;
constexpr float kDesignedWindowHeight = 4990;

// The window as designed, at its designed outer size.
MainLayout designedMainLayout();

// The resize rules: the minimum outer size, a Left or Top outside the screen back to 1 twip, and
// every control re-fitted to the (possibly enlarged) outer size. A minimized window is returned
// unchanged (`current`).
MainLayout layoutMainWindow(const MainLayout& current, bool minimized, float screenWidth, float screenHeight);

} // namespace quillfen
