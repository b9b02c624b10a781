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

// Repaints every control of the form now (after a language switch).
void RefreshControls(QWidget* form);

// The character set last given to a control (1 when never set).
int controlCharset(const QWidget* control);

} // namespace quillfen
