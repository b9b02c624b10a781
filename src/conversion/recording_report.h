#pragma once

#include "conversion/diagnostic_sink.h"

#include <QString>
#include <QStringList>

namespace quillfen {

// What the decoder reads, as file-name patterns for an open dialog ("*.wav *.flac ...").
QStringList recordingFilePatterns();
// True when the name has one of those extensions, whatever its case.
bool isRecordingFileName(const QString& path);

// Decodes each recording and writes what a text telephone would print to `diagnostics`: a line
// that names the file, then each burst of text after its offset ("[00:01.2] HELLO GA"), or a line
// saying none was found, or the error report; then an empty line. Never throws.
void reportDecodedRecordings(const QStringList& files, DiagnosticSink& diagnostics);

} // namespace quillfen
