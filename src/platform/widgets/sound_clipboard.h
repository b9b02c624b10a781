#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace quillfen {

// The clipboard as the system's programs share a sound file: its bytes as a WAV file, which sound
// editors paste, and the file itself, which file managers and mail programs paste. Only one such
// copy is held at a time.

// Gives back the copy this program last put on the clipboard, if the clipboard still holds it, so a
// new one need not sit beside it in memory. Anything else on the clipboard stays.
void dropOurSoundCopy();
// Replaces what the clipboard holds with `wave` and the file at `path`, offered by `owner`. Returns
// an empty string on success, else what failed; the clipboard then keeps what it had.
QString copySoundToClipboard(QWidget* owner, const QByteArray& wave, const QString& path);

} // namespace quillfen
