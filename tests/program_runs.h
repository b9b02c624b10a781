#pragma once

// The programs as built, run whole: quillfen-cli, and conversions through the real wavcat with a
// prompt cache of their own, read back by the decoder.
#include "conversion/conversion_run.h"
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace quillfen::testing {

inline const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

inline tty::DecodedText decoded(const QString& path, const tty::DecodeOptions& options = {})
{
    return tty::decodeFile(QFile::encodeName(path).toStdString(), options);
}

inline QString decode(const QString& path)
{
    return QString::fromStdString(decoded(path).text);
}

// quillfen-cli in `workDir` (empty: this one), with `cacheHome` for its prompt sets when given.
inline Ran cli(const QStringList& args, const QByteArray& input = {}, const QString& workDir = {},
               const QString& cacheHome = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!cacheHome.isEmpty())
        env.insert("XDG_CACHE_HOME", cacheHome);
    return runProgram(QDir(kProgramDir).filePath("quillfen-cli"), args, input, workDir, env);
}

// A conversion run, and quillfen-cli working in `out`, both with the cache in `cache`.
class ProgramRun : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path())); }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }
    Ran cliInOut(const QStringList& args) { return cli(args, {}, out.path(), cache.path()); }

    QTemporaryDir out, cache;
    LineCollector diag;
    RecordingMessages boxes;
    ConversionRun run{diag, kProgramDir};
};

} // namespace quillfen::testing
