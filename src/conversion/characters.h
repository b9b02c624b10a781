#pragma once

#include <QChar>
#include <QStringView>

namespace quillfen {

// The characters of `text` as the user sees them: a surrogate pair is one character (outside the
// Basic Multilingual Plane), an unpaired surrogate stands for itself.
template <typename F> void forEachCharacter(QStringView text, F&& f)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            f(char32_t(c.unicode()));
        }
    }
}

inline qsizetype characterCount(QStringView text)
{
    qsizetype n = 0;
    forEachCharacter(text, [&n](char32_t) { ++n; });
    return n;
}

} // namespace quillfen
