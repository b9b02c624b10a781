#include "conversion/phone_systems.h"

#include "platform/app_error.h"

namespace quillfen {
namespace {

// What a system fixes and what it leaves to the options.
struct SystemRule
{
    const char16_t* name;
    std::optional<Encoding> encoding; // fixed; unset: the option chooses (some systems allow a few)
    QList<Encoding> encodings;        // allowed when the encoding is not fixed
    std::optional<int> rate;          // fixed; unset: the option chooses
    qint64 maxFileBytes = 0;
};

const QList<SystemRule>& rules()
{
    static const QList<SystemRule> table{
        // Asterisk picks the file by the call's codec: one of each it plays, all headerless.
        {u"asterisk", Encoding::Pcm16, {}, 8000},
        {u"freeswitch", Encoding::Pcm16, {}, std::nullopt},
        {u"cisco", std::nullopt, {Encoding::Ulaw, Encoding::Alaw}, 8000},
        {u"avaya", std::nullopt, {Encoding::Ulaw, Encoding::Alaw}, 8000},
        {u"teams", Encoding::Pcm16, {}, std::nullopt, qint64{5} * 1024 * 1024},
        {u"3cx", Encoding::Pcm16, {}, 8000},
        {u"wav", std::nullopt, {Encoding::Pcm16, Encoding::Ulaw, Encoding::Alaw}, std::nullopt},
    };
    return table;
}

[[noreturn]] void refuse(const QString& why)
{
    throw AppError(AppError::InvalidProcedureCall, why);
}

} // namespace

QStringList phoneSystemNames()
{
    QStringList names;
    for (const SystemRule& rule : rules())
        names << QString::fromUtf16(rule.name);
    return names;
}

QList<Encoding> encodingChoices(const QString& system)
{
    const auto rule = std::find_if(rules().begin(), rules().end(),
                                   [&](const SystemRule& r) { return system == QStringView(r.name); });
    return rule == rules().end() || rule->encoding ? QList<Encoding>{} : rule->encodings;
}

SystemLayout layoutFor(const QString& system, const FormatChoice& choice)
{
    const auto rule = std::find_if(rules().begin(), rules().end(),
                                   [&](const SystemRule& r) { return system == QStringView(r.name); });
    if (rule == rules().end())
        refuse(QStringLiteral("unknown system \"%1\"; the systems are %2")
                   .arg(system, phoneSystemNames().join(QStringLiteral(", "))));
    const int level = choice.levelTenths.value_or(OutputFormat::kStandardLevelTenths);
    if (system == u"asterisk" && (choice.encoding || choice.sampleRate))
        refuse(QStringLiteral("asterisk takes a file in each of its formats (.ulaw, .alaw, .sln, .sln16, "
                              ".g722); --encoding and --rate do not apply"));
    if (rule->encoding && choice.encoding && *choice.encoding != *rule->encoding)
        refuse(QStringLiteral("%1 takes %2; --encoding %3 contradicts it")
                   .arg(system, encodingKeyword(*rule->encoding), encodingKeyword(*choice.encoding)));
    if (!rule->encoding && choice.encoding && !rule->encodings.contains(*choice.encoding))
        refuse(QStringLiteral("%1 takes no %2").arg(system, encodingKeyword(*choice.encoding)));
    if (rule->rate && choice.sampleRate && *choice.sampleRate != *rule->rate)
        refuse(QStringLiteral("%1 takes %2 Hz; --rate %3 contradicts it")
                   .arg(system)
                   .arg(*rule->rate)
                   .arg(*choice.sampleRate));
    const Encoding encoding =
        rule->encoding ? *rule->encoding : choice.encoding.value_or(rule->encodings.front());
    const int rate = rule->rate.value_or(choice.sampleRate.value_or(OutputFormat::kStandardRate));

    SystemLayout layout{system, {}, rule->maxFileBytes};
    if (system == u"asterisk") {
        layout.files = {{QStringLiteral("%1.ulaw"), {Encoding::Ulaw, 8000, level}},
                        {QStringLiteral("%1.alaw"), {Encoding::Alaw, 8000, level}},
                        {QStringLiteral("%1.sln"), {Encoding::Pcm16, 8000, level}},
                        {QStringLiteral("%1.sln16"), {Encoding::Pcm16, 16000, level}},
                        // G.722 carries wideband audio: it is encoded from the 16 kHz join as it is.
                        {QStringLiteral("%1.g722"), {Encoding::Pcm16, 16000, level}, AfterJoin::G722}};
    } else if (system == u"freeswitch") {
        // FreeSWITCH looks in a folder per rate; a rate that was asked for is the only one.
        const QList<int> rates = choice.sampleRate ? QList<int>{*choice.sampleRate} : QList<int>{8000, 16000};
        for (const int r : rates)
            layout.files << SystemFile{QString::number(r) + QStringLiteral("/%1.wav"),
                                       {Encoding::Pcm16, r, level}};
    } else {
        layout.files = {{QStringLiteral("%1.wav"), {encoding, rate, level}}};
    }
    return layout;
}

} // namespace quillfen
