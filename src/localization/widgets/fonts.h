#pragma once

#include <QFont>

class QWidget;

namespace quillfen {

// A control's font as the language code sees it: the face and the character set. Qt fonts have no
// character set, so it travels beside the font (as the widget property "charset").
struct ControlFont
{
    QFont font;
    int charset = 1; // DEFAULT_CHARSET
};

// The character set and face of CurrentLCID (East Asian languages need their own faces); size,
// weight and style stay. An empty face means the application's default family.
void SetFontForLanguage(ControlFont& font);

// SetFontForLanguage on every named control of the form, in the form's control order. Controls
// without a font of their own to set (menus, the help browser, dialogs) are passed over; the
// form's own font is not touched.
void SetFormFonts(QWidget* form);

// Controls are drawn at the designed 8.25 points in the application's family; a caption that
// does not fit its control at that size makes the control's font smaller, in half-point steps,
// down to 7 points.
constexpr qreal kDesignedPointSize = 8.25;
constexpr qreal kSmallestPointSize = 7;
QFont designedFont();

// The caption a control shows (a button's or a frame's without its mnemonic marks, a label's
// text); empty for a control without one.
QString shownCaption(const QWidget* control);
// The width in pixels that the control's style leaves its caption.
qreal captionRoom(const QWidget* control);
// Gives every control of the form that has a caption the largest size, from the designed one
// down, at which the caption fits. Run again whenever captions, fonts or sizes change.
void FitCaptionFonts(QWidget* form);

// Repaints every control of the form now (after a language switch).
void RefreshControls(QWidget* form);

// The character set last given to a control (1 when never set).
int controlCharset(const QWidget* control);

} // namespace quillfen
