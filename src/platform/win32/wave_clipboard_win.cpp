#include "platform/win32/wave_clipboard.h"

#include <windows.h>

#include <shlobj.h> // after windows.h, which it takes for granted

#include <cstring>

namespace quillfen {
namespace {

// Global memory holding `size` bytes copied from `data`, as the clipboard takes it; null on failure.
HGLOBAL globalCopy(const void* data, std::size_t size)
{
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* to = ::GlobalLock(memory);
    if (!to) {
        ::GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(to, data, size);
    ::GlobalUnlock(memory);
    return memory;
}

// CF_HDROP: a DROPFILES header, then the wide path and two terminating nulls.
HGLOBAL dropFiles(const std::wstring& path)
{
    std::string block(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, path.data(), path.size() * sizeof(wchar_t));
    return globalCopy(block.data(), block.size());
}

std::string lastError(const char* what)
{
    return std::string(what) + " failed (system error " + std::to_string(::GetLastError()) + ")";
}

} // namespace

std::string putWaveOnClipboard(std::span<const std::byte> wave, const std::wstring& path, void* owner)
{
    // Both blocks first: a failure to allocate leaves the clipboard untouched.
    HGLOBAL waveBlock = globalCopy(wave.data(), wave.size());
    HGLOBAL dropBlock = waveBlock ? dropFiles(path) : nullptr;
    if (!dropBlock) {
        const std::string error = lastError("GlobalAlloc");
        if (waveBlock)
            ::GlobalFree(waveBlock);
        return error;
    }
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = ::OpenClipboard(static_cast<HWND>(owner))); ++attempt)
        ::Sleep(20);
    if (!open) {
        const std::string error = lastError("OpenClipboard");
        ::GlobalFree(waveBlock);
        ::GlobalFree(dropBlock);
        return error;
    }
    std::string error;
    if (!::EmptyClipboard())
        error = lastError("EmptyClipboard");
    // Once set, a block belongs to the clipboard.
    if (error.empty() && ::SetClipboardData(CF_WAVE, waveBlock))
        waveBlock = nullptr;
    else if (error.empty())
        error = lastError("SetClipboardData(CF_WAVE)");
    if (error.empty() && ::SetClipboardData(CF_HDROP, dropBlock))
        dropBlock = nullptr;
    else if (error.empty())
        error = lastError("SetClipboardData(CF_HDROP)");
    ::CloseClipboard();
    if (waveBlock)
        ::GlobalFree(waveBlock);
    if (dropBlock)
        ::GlobalFree(dropBlock);
    return error;
}

} // namespace quillfen
