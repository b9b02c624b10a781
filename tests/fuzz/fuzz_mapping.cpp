// The mapping on any text: a simulated TTY receiver, fed the prompts' Baudot codes, prints exactly
// the New Text (a blank prints nothing) and is left in letters, whichever shift it starts in and
// whether or not it unshifts on space.
#include "conversion/baudot_mapping.h"
#include "fuzz_check.h"
#include "support/baudot_table.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string_view>

namespace {

// What a US TTY prints for each 5-bit code: the tests' own table.
using quillfen::test::kFigures;
using quillfen::test::kLetters;
constexpr int kSpace = quillfen::test::kSpace, kFigs = quillfen::test::kFigs, kLtrs = quillfen::test::kLtrs;
constexpr int kIdle = -1;

// The code a prompt file sends: its letter or figure, found in the table it belongs to.
int codeOf(const QString& prompt)
{
    static const std::map<QString, char> named = {
        {"comma", ','},      {"question", '?'},    {"colon", ':'},  {"period", '.'}, {"singlequote", '\''},
        {"quote", '"'},      {"pound", '#'},       {"dollar", '$'}, {"dash", '-'},   {"leftparen", '('},
        {"rightparen", ')'}, {"exclamation", '!'}, {"space", ' '}};
    const QString name = prompt.section(QLatin1Char('.'), 0, 0);
    if (name == QLatin1String("LTRS") || name == QLatin1String("FIGS"))
        return name == QLatin1String("LTRS") ? kLtrs : kFigs;
    if (name == QLatin1String("BlankChar"))
        return kIdle;
    const auto it = named.find(name);
    const char c = it != named.end()  ? it->second
                   : name.size() == 1 ? char(name.at(0).toUpper().unicode())
                                      : '_';
    const auto code = (c == ' ' || (c >= 'A' && c <= 'Z') ? kLetters : kFigures).find(c);
    FUZZ_CHECK(c != '_' && code != std::string_view::npos);
    return int(code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillfen;
    const QString text =
        upperCasedText(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).left(4096));
    QStringList prompts;
    const MappingResult mapped = mapTextToPrompts(
        text, ShiftNone, [&](const QString& p) { prompts << p; }, [](const QString&) {});
    QString expected = mapped.newText;
    expected.remove(QLatin1Char('~'));

    for (const bool startInFigures : {false, true}) {
        for (const bool unshiftOnSpace : {false, true}) {
            bool figures = startInFigures;
            QString printed;
            for (const QString& prompt : prompts) {
                const int code = codeOf(prompt);
                if (code == kLtrs || code == kFigs)
                    figures = code == kFigs;
                else if (code != kIdle)
                    printed += QLatin1Char((figures ? kFigures : kLetters)[std::size_t(code)]);
                if (code == kSpace && unshiftOnSpace)
                    figures = false;
            }
            FUZZ_CHECK(printed.compare(expected, Qt::CaseInsensitive) == 0);
            FUZZ_CHECK(prompts.isEmpty() || !figures);
        }
    }
    return 0;
}
