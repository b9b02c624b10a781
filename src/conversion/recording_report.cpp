#include "conversion/recording_report.h"

#include "conversion/tty_decoder.h"
#include "localization/string_table.h"
#include "platform/app_error.h"

#include <QFile>
#include <QFileInfo>

namespace quillfen {
namespace {

const QString kClosing = QStringLiteral(") in procedure mnuDecodeRecording_Click of Form frmMain");

} // namespace

QStringList recordingFilePatterns()
{
    return {QStringLiteral("*.wav"),  QStringLiteral("*.wave"), QStringLiteral("*.flac"),
            QStringLiteral("*.ogg"),  QStringLiteral("*.oga"),  QStringLiteral("*.au"),
            QStringLiteral("*.snd"),  QStringLiteral("*.aif"),  QStringLiteral("*.aiff"),
            QStringLiteral("*.aifc"), QStringLiteral("*.caf"),  QStringLiteral("*.w64"),
            QStringLiteral("*.rf64")};
}

bool isRecordingFileName(const QString& path)
{
    const QString suffix = QStringLiteral("*.") + QFileInfo(path).suffix().toLower();
    return recordingFilePatterns().contains(suffix);
}

void reportDecodedRecordings(const QStringList& files, DiagnosticSink& diagnostics)
{
    for (const QString& path : files) {
        diagnostics.DiagOutput(myLoadResString(IDS_DECODED_TEXT_OF).arg(path));
        reportAndContinue(
            [&] {
                const tty::DecodedText decoded = tty::decodeFile(QFile::encodeName(path).toStdString());
                if (decoded.bursts.empty())
                    diagnostics.DiagOutput(myLoadResString(IDS_NO_TTY_TEXT).arg(path));
                for (const tty::Burst& burst : decoded.bursts)
                    diagnostics.DiagOutput(QString::fromStdString(tty::formatOffset(burst.startSeconds)) +
                                           QLatin1Char(' ') + QString::fromStdString(burst.text));
            },
            [&](const AppError& e) {
                diagnostics.DiagOutput(formatErrorReport(myLoadResString(IDS_ERROR_PREFIX), e, kClosing));
            });
        diagnostics.DiagOutput(QString());
    }
}

} // namespace quillfen
