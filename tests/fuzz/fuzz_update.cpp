// The update check's page scan and version comparison on any bytes: the version read off a page is
// digits and periods only, and no two versions are each newer than the other.
#include "fuzz_check.h"
#include "platform/messages.h"
#include "update/update_check.h"

#include <QString>

#include <cstdint>

namespace {

// PadVersionString reports a version without a period in a message box; here nobody answers.
class NoMessages final : public quillfen::Messages
{
public:
    quillfen::MessageResult show(const QString&, quillfen::MessageButtons, const QString&) override
    {
        return quillfen::MessageResult::Ok;
    }
};

bool newer(const QString& own, const QString& web)
{
    return quillfen::decideUpdate(own, web) == quillfen::UpdateOutcome::NewerAvailable;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillfen;
    static NoMessages silent;
    setMessages(&silent);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString web = versionFromPageText(QString::fromLatin1(bytes));
    for (const QChar c : web)
        FUZZ_CHECK((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.'));

    // Two versions from the bytes, split at the first newline, and the page's against our own.
    const qsizetype cut = bytes.indexOf('\n');
    const QString first = PadVersionString(QString::fromLatin1(bytes.left(cut < 0 ? 0 : cut)));
    const QString second = PadVersionString(QString::fromLatin1(bytes.mid(cut + 1)));
    const QString own = PadVersionString(QStringLiteral("1.0.6"));
    for (const auto& [x, y] : {std::pair{first, second}, std::pair{own, web}})
        FUZZ_CHECK(!(newer(x, y) && newer(y, x)));
    return 0;
}
