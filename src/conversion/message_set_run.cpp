#include "conversion/message_set_run.h"

#include "codecs/codec.h"
#include "conversion/baudot_mapping.h"
#include "conversion/characters.h"
#include "conversion/conversion_run.h"
#include "conversion/diagnostic_sink.h"
#include "conversion/spoken_part.h"
#include "conversion/transliteration.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "platform/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <QtEndian>

#include <algorithm>
#include <sndfile.h>

namespace quillfen {
namespace {

// Line breaks of any kind become the CR LF that a conversion sends as a space.
QString withLineBreaks(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

[[noreturn]] void setFault(const QString& csvPath, int line, const QString& what)
{
    throw AppError(AppError::InvalidProcedureCall,
                   QStringLiteral("%1 line %2: %3").arg(csvPath).arg(line).arg(what));
}

// Bare 16-bit samples as G.722, which the prompt sets do not come in; the bare file goes.
void encodeG722(const QString& samplesPath, const QString& path)
{
    const QByteArray bytes = readWholeFile(samplesPath);
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + 2 * i);
    std::vector<std::uint8_t> encoded;
    codecs::Encoder encoder(codecs::Codec::G722);
    encoder.write(samples, encoded);
    encoder.finish(encoded);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(encoded.data()), qint64(encoded.size())) !=
            qint64(encoded.size()) ||
        !out.commit())
        throw AppError::make(AppError::PathFileAccessError, path, out.errorString());
    QFile::remove(samplesPath);
}

std::pair<std::vector<float>, double> decodeG722(const QString& path)
{
    const QByteArray bytes = readWholeFile(path);
    std::vector<std::int16_t> decoded;
    codecs::Decoder decoder(codecs::Codec::G722);
    decoder.write(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
        decoded);
    decoder.finish();
    std::vector<float> samples(decoded.size());
    std::transform(decoded.begin(), decoded.end(), samples.begin(),
                   [](std::int16_t v) { return float(v) / 32768.0F; });
    return {std::move(samples), double(codecs::kSampleRate)};
}

// The file's audio as its format has it: a WAV by its header, a headerless file by its name, an
// encoded one through its codec.
std::pair<std::vector<float>, double> readBack(const QString& path, const SystemFile& systemFile)
{
    if (systemFile.afterJoin == AfterJoin::G722)
        return decodeG722(path);
    const OutputFormat& format = systemFile.format;
    SF_INFO info{};
    tty::describeHeaderless(QFile::encodeName(path).toStdString(), info);
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        throw AppError::make(AppError::BadFileName, path, QString::fromUtf8(sf_strerror(nullptr)));
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_read_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    if (info.samplerate != format.sampleRate || info.channels != 1)
        throw AppError::make(AppError::PathFileAccessError, path,
                             QStringLiteral("not in the format it was made in"));
    return {std::move(samples), double(info.samplerate)};
}

QString sha256Of(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
        throw AppError::make(AppError::DeviceIoError, path);
    return QString::fromLatin1(hash.result().toHex());
}

// The manifest's fields, quoted where they need it.
QString csvField(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')))
        return field;
    return QLatin1Char('"') + QString(field).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QByteArray manifestCsv(const QList<WrittenFile>& files)
{
    QString csv = QStringLiteral("name,file,encoding,rate,seconds,sha256,prints\r\n");
    for (const WrittenFile& f : files)
        csv += QStringList{csvField(f.message),
                           csvField(f.path),
                           encodingKeyword(f.format.encoding),
                           QString::number(f.format.sampleRate),
                           QString::number(f.seconds, 'f', 3),
                           f.sha256,
                           csvField(f.printed)}
                   .join(QLatin1Char(',')) +
               QStringLiteral("\r\n");
    return csv.toUtf8();
}

// The outermost folder of `path` that is not there yet; empty when `path` is.
QString firstMissingFolder(const QString& path)
{
    QFileInfo missing(QFileInfo(path).absoluteFilePath());
    if (missing.exists())
        return {};
    for (QFileInfo up(missing.absolutePath()); !up.exists() && !up.isRoot();
         up = QFileInfo(up.absolutePath()))
        missing = up;
    return missing.absoluteFilePath();
}

} // namespace

namespace {

// The characters of `text` that a conversion sends, idle characters (~) included.
QString sendableText(const QString& text, std::optional<SpellingRule> spelling)
{
    QString prepared = upperCasedText(withLineBreaks(spelling ? transliterate(text, *spelling).text : text));
    prepared.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return mapTextToPrompts(
               prepared, ShiftNone, [](const QString&) {}, [](const QString&) {})
        .newText;
}

} // namespace

bool sendsMoreThanSpaces(const QString& text, std::optional<SpellingRule> spelling)
{
    return !sendableText(text, spelling).trimmed().isEmpty();
}

QString printedText(const QString& text, std::optional<SpellingRule> spelling)
{
    // The idle character prints nothing.
    return sendableText(text, spelling).remove(QLatin1Char('~'));
}

MessageSetRun::MessageSetRun(QString programDir)
    : m_programDir(programDir.isEmpty() ? programDirectory() : std::move(programDir))
{
}

QList<MessageRow> MessageSetRun::checkedRows(const QString& csvPath) const
{
    QList<MessageRow> rows;
    try {
        rows = parseMessageCsv(readWholeFile(csvPath));
    } catch (const AppError& e) {
        throw AppError(e.number, csvPath + QLatin1Char(' ') + e.description);
    }
    if (rows.isEmpty())
        setFault(csvPath, 1, QStringLiteral("the set has no messages"));
    // Recordings are named from the CSV file's folder, wherever the set is made from.
    const QDir csvFolder = QFileInfo(csvPath).absoluteDir();
    for (MessageRow& row : rows) {
        for (QString* recording : {&row.voiceBefore, &row.voiceAfter}) {
            if (recording->isEmpty())
                continue;
            *recording = csvFolder.absoluteFilePath(*recording);
            try {
                checkRecording(*recording);
            } catch (const AppError& e) {
                setFault(csvPath, row.line,
                         QStringLiteral("the message \"%1\": %2").arg(row.name, e.description));
            }
        }
    }
    for (const MessageRow& row : rows) {
        if (printedText(row.text, m_spelling).trimmed().isEmpty())
            setFault(
                csvPath, row.line,
                QStringLiteral("the message \"%1\" has nothing a text telephone can print").arg(row.name));
        if (characterCount(withLineBreaks(row.text)) > ConversionRun::kMaxCharacters)
            setFault(csvPath, row.line,
                     QStringLiteral("the message \"%1\" is longer than %2 characters")
                         .arg(row.name)
                         .arg(ConversionRun::kMaxCharacters));
    }
    return rows;
}

WrittenFile MessageSetRun::makeFile(const MessageRow& row, const SystemFile& file, const SystemLayout& layout,
                                    const QString& staging)
{
    const QString relative = file.pathFor(row.name);
    const QString staged = QDir(staging).filePath(relative);
    const auto failed = [&](const QString& why) {
        return AppError(AppError::PathFileAccessError,
                        QStringLiteral("message \"%1\" (%2): %3").arg(row.name, relative, why));
    };
    QDir().mkpath(QFileInfo(staged).path());
    // A file the prompt sets do not come in is joined as bare samples first, then encoded.
    const QString joined = file.afterJoin == AfterJoin::Nothing ? staged : staged + QStringLiteral(".sln");
    m_conversion.setOutputFormat(file.format);
    m_conversion.setSpokenParts({row.voiceBefore, row.voiceAfter});
    m_conversion.setSpelling(m_spelling);
    if (m_conversion.cmdConstructWavFromString_Click(withLineBreaks(row.text), joined) !=
        RunOutcome::Completed)
        throw failed(m_conversion.failure());
    if (file.afterJoin == AfterJoin::G722)
        encodeG722(joined, staged);
    const auto [samples, rate] = readBack(staged, file);
    const QString printed = printedText(row.text, m_spelling);
    const QString heard = QString::fromStdString(tty::decodeSamples(samples, rate).text);
    if (heard != printed)
        throw failed(QStringLiteral("it prints \"%1\", not \"%2\"").arg(heard, printed));
    const qint64 bytes = QFileInfo(staged).size();
    if (layout.maxFileBytes > 0 && bytes > layout.maxFileBytes)
        throw failed(QStringLiteral("%1 bytes, more than the %2 that %3 takes")
                         .arg(bytes)
                         .arg(layout.maxFileBytes)
                         .arg(layout.system));
    return WrittenFile{row.name,         relative, file.format, double(samples.size()) / rate,
                       sha256Of(staged), heard};
}

MessageSetOutcome MessageSetRun::run(const QString& csvPath, const QString& system,
                                     const FormatChoice& choice, const QString& outputDir)
{
    // Everything that can be refused is refused before the folder is touched.
    const SystemLayout layout = layoutFor(system, choice);
    const QList<MessageRow> rows = checkedRows(csvPath);
    // Folders the set makes for itself go again with a set that does not finish.
    const QString made = firstMissingFolder(outputDir);
    auto removeMade = qScopeGuard([&made] {
        if (!made.isEmpty())
            QDir(made).removeRecursively();
    });
    if (!QDir().mkpath(outputDir))
        throw AppError::make(AppError::PathNotFound, outputDir, QStringLiteral("cannot create it"));
    QTemporaryDir staging(QDir(outputDir).filePath(QStringLiteral(".quillfen-set-XXXXXX")));
    if (!staging.isValid())
        throw AppError::make(AppError::PathFileAccessError, outputDir, staging.errorString());

    MessageSetOutcome outcome;
    const int total = int(rows.size() * layout.files.size());
    for (const MessageRow& row : rows) {
        for (const SystemFile& file : layout.files) {
            if (m_progress && !m_progress(int(outcome.files.size()), total))
                return MessageSetOutcome{{}, true};
            outcome.files << makeFile(row, file, layout, staging.path());
        }
    }
    // A cancel during the last file still counts: nothing has gone into place yet.
    if (m_progress && !m_progress(total, total))
        return MessageSetOutcome{{}, true};
    // Into place: each file is renamed over its earlier self, the manifest last.
    for (const WrittenFile& f : outcome.files) {
        const QString target = QDir(outputDir).filePath(f.path);
        QDir().mkpath(QFileInfo(target).path());
        replaceFile(staging.filePath(f.path), target);
    }
    QSaveFile manifest(QDir(outputDir).filePath(QStringLiteral("manifest.csv")));
    const QByteArray bytes = manifestCsv(outcome.files);
    if (!manifest.open(QIODevice::WriteOnly) || manifest.write(bytes) != bytes.size() || !manifest.commit())
        throw AppError::make(AppError::PathFileAccessError, manifest.fileName(), manifest.errorString());
    removeMade.dismiss();
    return outcome;
}

} // namespace quillfen
