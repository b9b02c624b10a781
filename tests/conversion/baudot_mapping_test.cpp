#include "conversion/baudot_mapping.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace quillfen;

namespace {

QString notSupported(const QString& c)
{
    return "    '" + c + "'character not supported by Boudot protocol!  Skipped.";
}

struct Case
{
    QString text, prompts /* space-separated */, newText;
    ShiftStateValue finalShift;
    QString line; // the one diagnostic line, if any
};

} // namespace

TEST(BaudotMapping, textBecomesPromptsShiftsAndDiagnosticLines)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: one character
    const Case cases[] = {
        {"HI 5", "LTRS.wav h.wav i.wav space.wav FIGS.WAV 5.wav LTRS.WAV", "HI 5", ShiftFigures, ""},
        {"5 5", "FIGS.WAV 5.wav LTRS.wav space.wav FIGS.WAV 5.wav LTRS.WAV", "5 5", ShiftFigures, ""},
        {"(555) 123-4567",
         "FIGS.WAV leftparen.wav 5.wav 5.wav 5.wav rightparen.wav LTRS.wav space.wav "
         "FIGS.WAV 1.wav 2.wav 3.wav dash.wav 4.wav 5.wav 6.wav 7.wav LTRS.WAV",
         "(555) 123-4567", ShiftFigures, ""},
        // A blank is followed by a fresh shift; a text that ends on one closes with LTRS.WAV.
        {"A~B", "LTRS.wav a.wav BlankChar.wav LTRS.wav b.wav", "A~B", ShiftLetters, ""},
        {"~", "BlankChar.wav LTRS.WAV", "~", ShiftNone, ""},
        {"HI*", "LTRS.wav h.wav i.wav LTRS.WAV", "HI", ShiftLetters, notSupported("*")},
        // A skipped character leaves the shift alone.
        {"1*2", "FIGS.WAV 1.wav 2.wav LTRS.WAV", "12", ShiftFigures, notSupported("*")},
        {"A" + emoji, "LTRS.wav a.wav LTRS.WAV", "A", ShiftLetters, notSupported(emoji)},
        // Full-width forms pass the set test but have no prompt.
        {"\uFF21", "LTRS.wav", "", ShiftLetters,
         QStringLiteral("(error) unknown character encountered:\uFF21")},
        // The full-width tilde is a blank: no prompt, but the next letter gets its shift again.
        {"A\uFF5EB", "LTRS.wav a.wav LTRS.wav b.wav", "AB", ShiftLetters,
         QStringLiteral("(error) unknown character encountered:\uFF5E")},
        {"a", "LTRS.wav a.wav", "a", ShiftLetters, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QStringList prompts, lines;
        const MappingResult r = mapTextToPrompts(
            c.text, ShiftNone, [&](const QString& p) { prompts << p; },
            [&](const QString& l) { lines << l; });
        EXPECT_EQ(prompts.join(' '), c.prompts);
        EXPECT_EQ(r.newText, c.newText);
        EXPECT_EQ(r.shiftState, c.finalShift);
        EXPECT_EQ(lines, c.line.isEmpty() ? QStringList() : QStringList{c.line});
    }
}
