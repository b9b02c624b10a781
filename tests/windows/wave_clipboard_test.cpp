// The clipboard under wine as Windows programs read it: CF_WAVE with the file's bytes, CF_HDROP with
// its path, the earlier contents replaced.
#include "platform/win32/wave_clipboard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h> // after windows.h, which it takes for granted

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::byte> bytes(const std::string& text)
{
    std::vector<std::byte> v(text.size());
    std::memcpy(v.data(), text.data(), text.size());
    return v;
}

// What another program pastes: the CF_WAVE bytes and the CF_HDROP paths.
struct Pasted
{
    std::vector<std::byte> wave;
    std::vector<std::wstring> files;
};

Pasted paste(HWND window)
{
    Pasted p;
    if (!::OpenClipboard(window))
        return p;
    if (HANDLE h = ::GetClipboardData(CF_WAVE)) {
        const auto* data = static_cast<const std::byte*>(::GlobalLock(h));
        p.wave.assign(data, data + ::GlobalSize(h));
        ::GlobalUnlock(h);
    }
    if (auto* drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP))) {
        const UINT n = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            std::wstring name(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
            ::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
            p.files.push_back(name);
        }
    }
    ::CloseClipboard();
    return p;
}

} // namespace

TEST(WaveClipboard, anotherProgramPastesTheBytesAndTheFileAndEachCopyReplacesTheLast)
{
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const struct
    {
        std::string wave;
        std::wstring path;
    } copies[] = {
        {std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(1000, '\x7f'),
         L"C:\\greetings\\TTYOutput.wav"},
        // Later and shorter, with a path beyond ASCII: nothing of the first may remain.
        {std::string("RIFF-second", 11), L"C:\\Gr\u00fc\u00dfe\\\u30c6\u30ec\u30bf\u30a4\u30d7.wav"},
    };
    for (const auto& c : copies) {
        const std::vector<std::byte> wave = bytes(c.wave);
        ASSERT_EQ(quillfen::putWaveOnClipboard(wave, c.path, window), "");
        const Pasted p = paste(window);
        // The clipboard may round the block up; what it holds starts with the file.
        ASSERT_GE(p.wave.size(), wave.size());
        EXPECT_TRUE(std::equal(wave.begin(), wave.end(), p.wave.begin()));
        EXPECT_EQ(p.files, std::vector<std::wstring>{c.path});
    }
    ::DestroyWindow(window);
}
