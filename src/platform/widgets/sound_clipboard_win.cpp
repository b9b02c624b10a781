// Windows programs paste sound as CF_WAVE and files as CF_HDROP; Qt's clipboard offers neither
// for a sound file, so the copy goes to the system's clipboard directly.
#include "platform/widgets/sound_clipboard.h"

#include "platform/win32/wave_clipboard.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <windows.h>

#include <span>

namespace quillfen {
namespace {

HWND& ourOwner()
{
    static HWND owner = nullptr;
    return owner;
}

} // namespace

void dropOurSoundCopy()
{
    // The clipboard keeps our copy while the window that offered it owns the clipboard.
    const HWND owner = ourOwner();
    if (!owner || ::GetClipboardOwner() != owner || !::OpenClipboard(owner))
        return;
    ::EmptyClipboard();
    ::CloseClipboard();
}

QString copySoundToClipboard(QWidget* owner, const QByteArray& wave, const QString& path)
{
    const HWND window = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    const std::wstring file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
    const std::string failed = putWaveOnClipboard(
        std::as_bytes(std::span(wave.constData(), std::size_t(wave.size()))), file, window);
    if (!failed.empty())
        return QString::fromStdString(failed);
    ourOwner() = window;
    return {};
}

} // namespace quillfen
