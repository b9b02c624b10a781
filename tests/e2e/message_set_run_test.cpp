// Message sets through the real run, wavcat and prompt sets: the layout each system takes, every
// file read back and decoded, and a folder that a refused, failed or cancelled set leaves as it was.
#include "conversion/encoded_output.h"
#include "conversion/message_set_run.h"
#include "platform/app_error.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

class MessageSet : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path())); }
    void TearDown() override { qunsetenv("XDG_CACHE_HOME"); }
    QString csv(const QByteArray& bytes)
    {
        const QString path = work.filePath("set.csv");
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    QString error(const std::function<void()>& step)
    {
        try {
            step();
        } catch (const AppError& e) {
            return e.description;
        }
        return {};
    }

    QTemporaryDir work, out, cache;
};

} // namespace

TEST_F(MessageSet, eachSystemGetsItsLayoutEveryFileDecodesAndTheManifestListsThem)
{
    const QString set =
        csv("name,text\r\ngreeting,\"Hello, you reached the TTY line.\"\r\nclosed,Closed ~ GA\r\n");
    const struct
    {
        const char* system;
        FormatChoice choice;
        QStringList files;
    } cases[] = {
        {"freeswitch",
         {},
         {"16000/closed.wav", "16000/greeting.wav", "8000/closed.wav", "8000/greeting.wav"}},
        {"cisco", {Encoding::Alaw, std::nullopt, std::nullopt}, {"closed.wav", "greeting.wav"}},
        {"asterisk",
         {},
         {"closed.alaw", "closed.g722", "closed.sln", "closed.sln16", "closed.ulaw", "greeting.alaw",
          "greeting.g722", "greeting.sln", "greeting.sln16", "greeting.ulaw"}},
        {"wav", {}, {"closed.wav", "greeting.wav"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        const QString dir = out.filePath(c.system);
        const MessageSetOutcome outcome = MessageSetRun(kProgramDir).run(set, c.system, c.choice, dir);
        EXPECT_FALSE(outcome.cancelled);
        QStringList written;
        for (const WrittenFile& f : outcome.files) {
            written << f.path;
            EXPECT_EQ(f.printed, f.message == "closed" ? "CLOSED  GA" : "HELLO, YOU REACHED THE TTY LINE.");
        }
        written.sort();
        EXPECT_EQ(written, c.files);
        QStringList there;
        for (const auto& [path, bytes] : folderSnapshot(dir))
            if (bytes != "<dir>")
                there << path;
        EXPECT_EQ(there, QStringList(c.files) << "manifest.csv");
        const QStringList manifest =
            QString::fromUtf8(fileBytes(dir + "/manifest.csv")).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_EQ(manifest.size(), c.files.size() + 1);
        EXPECT_EQ(manifest.front(), "name,file,encoding,rate,seconds,sha256,prints");
        EXPECT_TRUE(manifest.at(1).startsWith("greeting,")) << manifest.at(1).toStdString();
        EXPECT_TRUE(manifest.at(1).endsWith(",\"HELLO, YOU REACHED THE TTY LINE.\""))
            << manifest.at(1).toStdString();
    }
    // Made again from the same CSV: the set's files are replaced, anything else in the folder stays.
    const QString dir = out.filePath("wav");
    ASSERT_TRUE(writeFile(dir + "/other.txt", "mine"));
    MessageSetRun(kProgramDir).run(set, "wav", {}, dir);
    EXPECT_EQ(fileBytes(dir + "/other.txt"), "mine");
    EXPECT_EQ(folderSnapshot(dir).size(), 4u);
}

TEST_F(MessageSet, aRefusedFailedOrCancelledSetLeavesTheFolderAsItWas)
{
    const QString dir = out.filePath("set");
    ASSERT_TRUE(QDir().mkpath(dir) && writeFile(dir + "/greeting.wav", "an earlier greeting"));
    const auto before = folderSnapshot(dir);
    const struct
    {
        const char* what;
        QByteArray csv;
        const char* system;
        const char* error; // what the error says, after the CSV's path where it names it
    } cases[] = {
        {"no text column", "name\ngreeting\n", "wav", "line 1: no \"text\" column in the header"},
        {"a name twice", "name,text\na,Hi\na,Ho\n", "wav", "line 3: the name \"a\" is used twice"},
        {"nothing printable", "name,text\na,Hi\nb,\xE6\x97\xA5\xE6\x9C\xAC\n", "wav",
         "line 3: the message \"b\" has nothing a text telephone can print"},
        {"an unknown system", "name,text\na,Hi\n", "nortel", "unknown system \"nortel\""},
        {"a name with a path", "name,text\ngreeting,Hi\n\"x/..\",Ho\n", "wav", "holds a path separator"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = csv(c.csv);
        EXPECT_TRUE(
            error([&] { MessageSetRun(kProgramDir).run(path, c.system, {}, dir); }).contains(c.error));
        EXPECT_EQ(folderSnapshot(dir), before);
    }
    // Cancelled at the second message, and joins that fail at the second and third: the second is
    // named, though the third, with nothing to wait for, fails first.
    const QString set = csv("name,text\ngreeting,Hello\nclosed,Closed\nholiday,Holiday\n");
    MessageSetRun cancelled(kProgramDir);
    cancelled.setProgress([](int done, int) { return done < 1; });
    EXPECT_TRUE(cancelled.run(set, "wav", {}, dir).cancelled);
    EXPECT_EQ(folderSnapshot(dir), before);

#ifndef Q_OS_WIN // the wavcat that fails is a shell script
    QTemporaryDir programDir;
    for (const QString& name : QDir(kProgramDir).entryList({"*.wav", "*.WAV"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(kProgramDir).filePath(name), programDir.filePath(name)));
    const QString wavcat = programDir.filePath("wavcat");
    ASSERT_TRUE(writeFile(
        wavcat,
        "#!/bin/sh\nfor last; do :; done\ncase \"$last\" in *closed*) sleep 0.5; echo 'wavcat: disk full' "
        ">&2; exit 1;; *holiday*) exit 1;; esac\nexec '" +
            QDir(kProgramDir).filePath("wavcat").toUtf8() + "' \"$@\"\n"));
    QFile::setPermissions(wavcat, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(error([&] { MessageSetRun(programDir.path()).run(set, "wav", {}, dir); }),
              "message \"closed\" (closed.wav): wavcat: disk full");
    EXPECT_EQ(folderSnapshot(dir), before);
#endif
}

TEST_F(MessageSet, asterisksLawAndG722FilesHoldTheBytesOfSingleConversions)
{
    // A hum in place of a voice, far from the tones: 440 Hz at 8 kHz, 16-bit, half a second.
    QByteArray pcm;
    for (int i = 0; i < 4000; ++i) {
        const auto v = qToLittleEndian(qint16(12000 * std::sin(2 * 3.14159265 * 440 * i / 8000)));
        pcm.append(reinterpret_cast<const char*>(&v), 2);
    }
    const auto le = [](auto v) {
        v = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
    };
    ASSERT_TRUE(writeFile(work.filePath("hum.wav"),
                          "RIFF" + le(quint32(36 + pcm.size())) + "WAVEfmt " + le(quint32(16)) +
                              le(quint16(1)) + le(quint16(1)) + le(quint32(8000)) + le(quint32(16000)) +
                              le(quint16(2)) + le(quint16(16)) + "data" + le(quint32(pcm.size())) + pcm));
    const QString set = csv("name,text,voice_before\ngreeting,Hello GA,\nwaiting,Please wait GA,hum.wav\n");
    const QString dir = out.filePath("asterisk");
    MessageSetRun(kProgramDir).run(set, "asterisk", {}, dir);

    const struct
    {
        const char* name;
        const char* text;
        const char* voice;
    } messages[] = {{"greeting", "Hello GA", ""}, {"waiting", "Please wait GA", "hum.wav"}};
    LineCollector diagnostics;
    ConversionRun single(diagnostics, kProgramDir);
    for (const auto& m : messages) {
        for (const char* extension : {".ulaw", ".alaw"}) {
            const QString name = QString::fromUtf8(m.name) + extension;
            SCOPED_TRACE(name.toStdString());
            single.setSpokenParts({*m.voice ? work.filePath(m.voice) : QString(), {}});
            ASSERT_EQ(single.cmdConstructWavFromString_Click(m.text, work.filePath(name)),
                      RunOutcome::Completed);
            EXPECT_EQ(fileBytes(dir + "/" + name), fileBytes(work.filePath(name)));
        }
        // G.722 too is what a conversion to that name writes.
        const QString g722 = work.filePath(QString::fromUtf8(m.name) + ".g722");
        ASSERT_EQ(convertEncoded(single, *encodedKindOf(g722), m.text, g722, printedText(m.text)).outcome,
                  RunOutcome::Completed);
        EXPECT_EQ(fileBytes(dir + "/" + m.name + ".g722"), fileBytes(g722));
    }
}
