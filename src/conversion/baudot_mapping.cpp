#include "conversion/baudot_mapping.h"

#include "conversion/characters.h"

#include <QStringView>

namespace quillfen {
namespace {

constexpr QStringView kLetterSet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
constexpr QStringView kFigureSet = u"\"0123456789,?:.'#$-()!";

// Case- and width-insensitive form used for the set tests, as a text comparison sees characters.
char32_t comparisonForm(char32_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        c -= 0xFEE0; // full-width ASCII
    else if (c == 0x3000)
        c = U' '; // ideographic space
    return QChar::toCaseFolded(c);
}

bool isInSet(char32_t c, QStringView set)
{
    const char32_t folded = comparisonForm(c);
    for (QChar member : set)
        if (comparisonForm(member.unicode()) == folded)
            return true;
    return false;
}

QString charText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

} // namespace

bool isInLetterSet(char32_t c)
{
    return isInSet(c, kLetterSet);
}

bool isInFigureSet(char32_t c)
{
    return isInSet(c, kFigureSet);
}

bool isBlankChar(char32_t c)
{
    return isInSet(c, u"~");
}

QString promptFileFor(char32_t c)
{
    if (c >= U'a' && c <= U'z')
        return QString(QChar(char16_t(c))) + QStringLiteral(".wav");
    if (c >= U'0' && c <= U'9')
        return QString(QChar(char16_t(c))) + QStringLiteral(".wav");
    switch (c) {
    case U' ':
        return QStringLiteral("space.wav");
    case U',':
        return QStringLiteral("comma.wav");
    case U'?':
        return QStringLiteral("question.wav");
    case U':':
        return QStringLiteral("colon.wav");
    case U'.':
        return QStringLiteral("period.wav");
    case U'\'':
        return QStringLiteral("singlequote.wav");
    case U'"':
        return QStringLiteral("quote.wav");
    case U'#':
        return QStringLiteral("pound.wav");
    case U'$':
        return QStringLiteral("dollar.wav");
    case U'-':
        return QStringLiteral("dash.wav");
    case U'(':
        return QStringLiteral("leftparen.wav");
    case U')':
        return QStringLiteral("rightparen.wav");
    case U'!':
        return QStringLiteral("exclamation.wav");
    case U'~':
        return QStringLiteral("BlankChar.wav");
    default:
        return {};
    }
}

QString upperCasedText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    forEachCharacter(text, [&](char32_t c) {
        const char32_t u = QChar::toUpper(c);
        out += QString::fromUcs4(&u, 1);
    });
    return out;
}

MappingResult mapTextToPrompts(const QString& prepared, ShiftStateValue shiftState, const TextSink& addPrompt,
                               const TextSink& diagOutput)
{
    MappingResult result{QString(), shiftState};
    ShiftStateValue& shift = result.shiftState;
    char32_t last = 0;
    bool any = false;

    forEachCharacter(prepared, [&](char32_t c) {
        last = c;
        any = true;
        if (isInLetterSet(c)) {
            if (shift == ShiftNone || shift == ShiftFigures) {
                shift = ShiftLetters;
                addPrompt(QStringLiteral("LTRS.wav"));
            }
        } else if (isBlankChar(c)) {
            shift = ShiftNone;
        } else if (isInFigureSet(c)) {
            if (shift == ShiftNone || shift == ShiftLetters) {
                shift = ShiftFigures;
                addPrompt(QStringLiteral("FIGS.WAV"));
            }
        } else {
            diagOutput(QStringLiteral("    '") + charText(c) +
                       QStringLiteral("'character not supported by Boudot protocol!  Skipped."));
            return;
        }

        const char32_t lowered = QChar::toLower(c);
        const QString prompt = promptFileFor(lowered);
        if (prompt.isEmpty()) {
            diagOutput(QStringLiteral("(error) unknown character encountered:") + charText(c));
            return;
        }
        addPrompt(prompt);
        result.newText += charText(c);
    });

    // Only the last character decides: the receiver must end in letters whatever came before.
    if (any && !isInLetterSet(last))
        addPrompt(QStringLiteral("LTRS.WAV"));
    return result;
}

} // namespace quillfen
