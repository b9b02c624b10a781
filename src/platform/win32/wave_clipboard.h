#pragma once

// The clipboard as Windows programs share a sound file: the file's bytes as CF_WAVE, which sound
// editors paste, and the file itself as CF_HDROP, which Explorer and mail programs paste. Std C++
// and Win32 only, so that it is tested under wine without Qt.

#include <cstddef>
#include <span>
#include <string>

namespace quillfen {

// Replaces what the clipboard holds with `wave` and the file at `path` (absolute), owned by the
// window `owner` (an HWND: without one Windows may refuse the data). Returns "" on success; else
// what failed, and the clipboard is left as it was where the failure allows.
std::string putWaveOnClipboard(std::span<const std::byte> wave, const std::wstring& path, void* owner);

} // namespace quillfen
