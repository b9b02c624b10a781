#pragma once

#include <QLocale>
#include <QString>

namespace quillfen {

// No window system gives a window more than 32767 pixels a side (X11 counts them in 16 bits).
constexpr float kLargestWindowTwips = 32767.0f * 15;

// The main window as the settings see it: its outer geometry in twips.
class SettingsWindow
{
public:
    virtual ~SettingsWindow() = default;
    // The largest outer size the window can take, the desktop's. Stored sizes beyond it are cut to it
    // before they are applied or saved: a hand-edited store must not ask for a window of terabytes.
    virtual float largestWidth() const { return kLargestWindowTwips; }
    virtual float largestHeight() const { return kLargestWindowTwips; }
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual void setLeft(float twips) = 0;
    virtual void setTop(float twips) = 0;
    virtual void setWidth(float twips) = 0;
    virtual void setHeight(float twips) = 0;
};

// Applies the stored geometry ("FormLeft", "Formtop", "FormWidth", "FormHeight"; a missing key
// leaves that value alone, a size beyond the largest is cut to it). Each value is its own step: a
// failing one is reported in a message box ("(error):N (...) in procedure LoadSettings of Module
// Module1") and the next one runs.
void LoadSettings(SettingsWindow& window);

// Writes the geometry and "EXEPath", the directory of the running executable; reports like
// LoadSettings ("... in procedure SaveSettings of Module Module1").
void SaveSettings(const SettingsWindow& window);

// A stored number as the user's locale writes it: no group separators, at most 7 significant digits.
QString settingsNumberText(float value, const QLocale& locale);
// Reads `locale`'s form or the C locale's (a store written under another locale still loads);
// blanks around the number are allowed. Throws AppError 13 for anything that is not a finite
// single-precision number.
float parseSettingsNumber(const QString& text, const QLocale& locale);

} // namespace quillfen
