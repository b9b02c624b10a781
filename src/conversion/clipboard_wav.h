#pragma once

#include "conversion/output_format.h"

#include <QByteArray>
#include <QString>

namespace quillfen {

// What the clipboard gets for the output at `path`, whose bytes are `bytes`: a WAV file as it is
// (whatever it holds); a headerless output, told by its name, in a WAV header of its encoding and
// rate, because other programs cannot paste bare samples. Throws AppError 6 when the audio is too
// long for a WAV file.
QByteArray clipboardWavImage(const QString& path, const QByteArray& bytes);

// Mono samples as a headerless file holds them, in a WAV file: the same bytes after a header.
QByteArray wavFromHeaderless(const QByteArray& samples, Encoding encoding, int sampleRate);

} // namespace quillfen
