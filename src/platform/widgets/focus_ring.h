#pragma once

class QWidget;

namespace quillfen {

// Rings `control`'s edge in the palette's highlight colour while it has the focus, for controls
// whose style shows the focus faintly or not at all: a text box only by its blinking caret (a
// read-only one not at all), a default button not at all, as it is outlined either way. The ring
// lives as long as the control.
void showFocusRing(QWidget* control);

// Styles draw the focus only after a keyboard move, and showing a window forgets any: `window`
// shows where the focus is from the moment it opens, or the keyboard user is lost before the first
// Tab.
void showFocusOnOpening(QWidget* window);

} // namespace quillfen
