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
#include "platform/process.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <sndfile.h>
#include <span>
#include <thread>
#include <tuple>

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

// A file of bare little-endian 16-bit samples.
std::vector<std::int16_t> bareSamples(const QString& path)
{
    const QByteArray bytes = readWholeFile(path);
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + 2 * i);
    return samples;
}

// 16-bit samples at 16 kHz as G.722, which the prompt sets do not come in.
void writeG722(std::span<const std::int16_t> samples, const QString& path)
{
    const std::vector<std::uint8_t> encoded = codecs::encodeG722Wideband(samples);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(encoded.data()), qint64(encoded.size())) !=
            qint64(encoded.size()) ||
        !out.commit())
        throw AppError::make(AppError::PathFileAccessError, path, out.errorString());
}

// 16-bit samples as the headerless law file `path` names. The prompt sets in a law are these same
// samples written by the same library, so a join of them gives the same bytes, G.711 being one
// table per sample.
void writeHeaderlessLaw(std::span<const std::int16_t> samples, const HeaderlessKind& kind,
                        const QString& path)
{
    SF_INFO info{0, kind.sampleRate,
                 1, SF_FORMAT_RAW | (kind.encoding == Encoding::Ulaw ? SF_FORMAT_ULAW : SF_FORMAT_ALAW),
                 0, 0};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        throw AppError::make(AppError::PathFileAccessError, path, QString::fromUtf8(sf_strerror(nullptr)));
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool written = sf_write_short(file, samples.data(), count) == count;
    const QString why = QString::fromUtf8(sf_strerror(file));
    if (sf_close(file) != 0 || !written)
        throw AppError::make(AppError::PathFileAccessError, path, why);
}

// Samples in [-1, 1] read from 16-bit ones back as those: the scale is a power of two, so this is exact.
std::vector<std::int16_t> asPcm16(std::span<const float> samples)
{
    std::vector<std::int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(),
                   [](float v) { return static_cast<std::int16_t>(std::lrint(v * 32768.0F)); });
    return pcm;
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

namespace {

// How each file of a message is made: -1 for a file joined as it is; else the index of the file
// whose 16-bit samples it is encoded from, one at the same rate, level and speed that is joined
// anyway. A law file or a G.722 one with no such file to come from is joined as it is, and so is a
// law file with a spoken part: the law prompt of a recording is made from its finer samples, not
// from the 16-bit ones.
std::vector<qsizetype> sourcesOf(const SystemLayout& layout, const MessageRow& row)
{
    const bool spoken = !row.voiceBefore.isEmpty() || !row.voiceAfter.isEmpty();
    std::vector<qsizetype> sources(std::size_t(layout.files.size()), -1);
    for (qsizetype i = 0; i < layout.files.size(); ++i) {
        const SystemFile& file = layout.files[i];
        const bool headerlessLaw = !spoken && file.format.encoding != Encoding::Pcm16 &&
                                   headerlessKindOf(file.pathPattern).has_value();
        if (!headerlessLaw && file.afterJoin != AfterJoin::G722)
            continue;
        OutputFormat pcm = file.format;
        pcm.encoding = Encoding::Pcm16;
        for (qsizetype j = 0; j < layout.files.size(); ++j)
            if (layout.files[j].afterJoin == AfterJoin::Nothing && layout.files[j].format == pcm) {
                sources[std::size_t(i)] = j;
                break;
            }
    }
    return sources;
}

AppError fileFault(const MessageRow& row, const QString& relative, const QString& why)
{
    return AppError(AppError::PathFileAccessError,
                    QStringLiteral("message \"%1\" (%2): %3").arg(row.name, relative, why));
}

// One message's files: those that are joined first, each read back and decoded, then those encoded
// from them, each read back in its own format and decoded too.
class MessageFiles
{
public:
    MessageFiles(ConversionRun& conversion, const MessageRow& row, const SystemLayout& layout,
                 const QString& staging, std::optional<SpellingRule> spelling)
        : m_conversion(conversion), m_row(row), m_layout(layout), m_sources(sourcesOf(layout, row)),
          m_staging(staging), m_spelling(spelling), m_printed(printedText(row.text, spelling))
    {
    }

    QList<WrittenFile> make()
    {
        const auto count = std::size_t(m_layout.files.size());
        std::vector<std::optional<WrittenFile>> written(count);
        std::vector<std::vector<std::int16_t>> pcm(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (m_sources[i] >= 0)
                continue;
            std::vector<float> samples;
            written[i] = joined(m_layout.files[qsizetype(i)], samples);
            if (std::find(m_sources.begin(), m_sources.end(), qsizetype(i)) != m_sources.end())
                pcm[i] = asPcm16(samples);
        }
        for (std::size_t i = 0; i < count; ++i)
            if (m_sources[i] >= 0)
                written[i] = encoded(m_layout.files[qsizetype(i)], pcm[std::size_t(m_sources[i])]);
        QList<WrittenFile> files;
        for (auto& file : written)
            files << std::move(*file);
        return files;
    }

private:
    WrittenFile joined(const SystemFile& file, std::vector<float>& samples)
    {
        const QString relative = file.pathFor(m_row.name);
        const QString staged = stagedPath(relative);
        // A G.722 file with nothing to come from is joined as bare 16 kHz samples first.
        const QString joined =
            file.afterJoin == AfterJoin::Nothing ? staged : staged + QStringLiteral(".sln16");
        m_conversion.setOutputFormat(file.format);
        m_conversion.setSpokenParts({m_row.voiceBefore, m_row.voiceAfter});
        m_conversion.setSpelling(m_spelling);
        if (m_conversion.cmdConstructWavFromString_Click(withLineBreaks(m_row.text), joined) !=
            RunOutcome::Completed)
            throw fileFault(m_row, relative, m_conversion.failure());
        if (file.afterJoin == AfterJoin::G722) {
            writeG722(bareSamples(joined), staged);
            QFile::remove(joined);
        }
        return checked(file, relative, staged, samples);
    }

    WrittenFile encoded(const SystemFile& file, std::span<const std::int16_t> pcm)
    {
        const QString relative = file.pathFor(m_row.name);
        const QString staged = stagedPath(relative);
        try {
            if (file.afterJoin == AfterJoin::G722)
                writeG722(pcm, staged);
            else
                writeHeaderlessLaw(pcm, *headerlessKindOf(staged), staged);
        } catch (const AppError& e) {
            throw fileFault(m_row, relative, e.description);
        }
        std::vector<float> samples;
        return checked(file, relative, staged, samples);
    }

    // The file read back in its own format and decoded: it must print what the message maps to.
    WrittenFile checked(const SystemFile& file, const QString& relative, const QString& staged,
                        std::vector<float>& samples)
    {
        double rate = 0.0;
        std::tie(samples, rate) = readBack(staged, file);
        const QString heard = QString::fromStdString(tty::decodeSamples(samples, rate).text);
        if (heard != m_printed)
            throw fileFault(m_row, relative,
                            QStringLiteral("it prints \"%1\", not \"%2\"").arg(heard, m_printed));
        const qint64 bytes = QFileInfo(staged).size();
        if (m_layout.maxFileBytes > 0 && bytes > m_layout.maxFileBytes)
            throw fileFault(m_row, relative,
                            QStringLiteral("%1 bytes, more than the %2 that %3 takes")
                                .arg(bytes)
                                .arg(m_layout.maxFileBytes)
                                .arg(m_layout.system));
        return WrittenFile{m_row.name,       relative, file.format, double(samples.size()) / rate,
                           sha256Of(staged), heard};
    }

    QString stagedPath(const QString& relative) const
    {
        QString staged = QDir(m_staging).filePath(relative);
        QDir().mkpath(QFileInfo(staged).path());
        return staged;
    }

    ConversionRun& m_conversion;
    const MessageRow& m_row;
    const SystemLayout& m_layout;
    const std::vector<qsizetype> m_sources;
    QString m_staging;
    std::optional<SpellingRule> m_spelling;
    QString m_printed;
};

// A set's runs report nothing line by line: only their outcome counts.
class QuietSink final : public DiagnosticSink
{
public:
    void clearDiagnostics() override {}
    void DiagOutput(const QString&) override {}
};

} // namespace

// The messages are made side by side, each wholly by one worker with a conversion of its own; the
// calling thread only reports progress. The outcome is the same whatever order they finish in: the
// files in the order of the CSV, and a fault that of the first message in it that fails, as every
// message before a failed one is still made.
std::vector<QList<WrittenFile>> MessageSetRun::makeMessages(const QList<MessageRow>& rows,
                                                            const SystemLayout& layout,
                                                            const QString& staging, bool& cancelled)
{
    const auto count = std::size_t(rows.size());
    const auto filesPerMessage = int(layout.files.size());
    const int total = int(count) * filesPerMessage;
    std::vector<QList<WrittenFile>> made(count);
    std::vector<std::exception_ptr> faults(count);

    std::mutex lock;
    std::condition_variable changed;
    std::size_t next = 0;
    std::size_t firstFault = count;
    int done = 0; // messages
    int running = 0;
    bool stop = false;
    cancelled = m_progress && !m_progress(0, total);
    if (cancelled)
        return {};

    const auto work = [&] {
        QuietSink quiet;
        ConversionRun conversion(quiet, m_programDir);
        std::unique_lock guard(lock);
        while (!stop && next < firstFault) {
            const std::size_t i = next++;
            guard.unlock();
            std::exception_ptr fault;
            QList<WrittenFile> files;
            try {
                files = MessageFiles(conversion, rows[qsizetype(i)], layout, staging, m_spelling).make();
            } catch (...) {
                fault = std::current_exception();
            }
            guard.lock();
            made[i] = std::move(files);
            faults[i] = fault;
            if (fault)
                firstFault = std::min(firstFault, i);
            ++done;
            changed.notify_all();
        }
        --running;
        changed.notify_all();
    };
    // Each joins itself as it goes, so that a worker that could not start stops the others too.
    std::vector<std::jthread> workers;
    for (std::size_t w = 0; w < std::min<std::size_t>(kWorkers, count); ++w) {
        try {
            const std::lock_guard guard(lock);
            workers.emplace_back(work);
            ++running;
        } catch (...) {
            const std::lock_guard guard(lock);
            stop = true;
            throw;
        }
    }
    {
        std::unique_lock guard(lock);
        int reported = 0;
        // Each message is reported on its own, even when two end at once.
        while (running > 0 || reported < done) {
            changed.wait(guard, [&] { return running == 0 || done != reported; });
            if (reported == done)
                continue;
            ++reported;
            if (!m_progress || stop)
                continue;
            guard.unlock();
            const bool goOn = m_progress(reported * filesPerMessage, total);
            guard.lock();
            stop = !goOn;
        }
        cancelled = stop;
    }
    for (std::jthread& worker : workers)
        worker.join();
    if (firstFault < count)
        std::rethrow_exception(faults[firstFault]);
    return made;
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

    // Every message makes and frees buffers of a join's size, several times over.
    keepFreedMemory();
    MessageSetOutcome outcome;
    bool cancelled = false;
    for (QList<WrittenFile>& files : makeMessages(rows, layout, staging.path(), cancelled))
        outcome.files << std::move(files);
    if (cancelled)
        return MessageSetOutcome{{}, true};
    // A cancel during the last message still counts: nothing has gone into place yet.
    const int total = int(outcome.files.size());
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
