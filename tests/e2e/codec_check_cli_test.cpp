// quillfen-cli's codec check through the real program, wavcat and prompt sets: what it prints for
// each message and codec, and the files it leaves as they were.
#include "conversion/tty_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);
const QString kText = QStringLiteral("QUICK FOX 12 JUMPS 34 OVER 56 LAZY 78 DOGS 90");

class CodecCheckCli : public ::testing::Test
{
protected:
    Ran cli(const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", cache.path());
        return runProgram(QDir(kProgramDir).filePath("quillfen-cli"), args, {}, out.path(), env);
    }
    // The rest of the first line that starts with `lead`; empty when there is none.
    static QString checkLine(const QString& stdoutText, const QString& lead)
    {
        for (const QString& line : stdoutText.split('\n'))
            if (line.startsWith(lead))
                return line.mid(lead.size());
        return {};
    }

    QTemporaryDir out, cache;
};

} // namespace

TEST_F(CodecCheckCli, checkOfOneMessage_gsmDamagesIt_g711AndG722DoNot_andTheFileStaysAsWritten)
{
    ASSERT_EQ(cli({"-o", "plain.ulaw", kText}).exitCode, 0);
    const Ran r = cli({"--check-codec", "gsm,g722", "-o", "checked.ulaw", kText});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The check writes nothing and changes nothing: the same bytes as without it, nothing else left.
    EXPECT_EQ(fileBytes(out.filePath("checked.ulaw")), fileBytes(out.filePath("plain.ulaw")));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"checked.ulaw", "plain.ulaw"}));
    // The G.711 file itself prints the text.
    EXPECT_EQ(QString::fromStdString(tty::decodeFile(out.filePath("checked.ulaw").toStdString()).text),
              kText);

    const QString clean = "character error rate 0.0 %; prints \"" + kText + "\"";
    EXPECT_EQ(checkLine(r.out, "clean: ").toStdString(), clean.toStdString()) << r.out.toStdString();
    EXPECT_EQ(checkLine(r.out, "g722: ").toStdString(), clean.toStdString());
    const QString gsm = checkLine(r.out, "gsm: ");
    ASSERT_TRUE(gsm.startsWith("character error rate ")) << r.out.toStdString();
    EXPECT_NE(gsm, clean);
    EXPECT_TRUE(r.err.contains("warning: through gsm it prints")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("g722"));
}

TEST_F(CodecCheckCli, checkOfASetPrintsEachMessageAndCodec_andTheSetIsByteForByteTheSame)
{
    ASSERT_TRUE(writeFile(out.filePath("set.csv"), "name,text\r\nhours,Open 9 to 5\r\nbye,Thanks GA SK\r\n"));
    ASSERT_EQ(cli({"--batch", "set.csv", "--system", "asterisk", "-o", "plain"}).exitCode, 0);
    const Ran r =
        cli({"--batch", "set.csv", "--system", "asterisk", "--check-codec", "g722", "-o", "checked"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto plain = folderSnapshot(out.filePath("plain")),
               checked = folderSnapshot(out.filePath("checked"));
    EXPECT_EQ(plain.size(), 11U); // five files a message and the manifest
    EXPECT_EQ(checked, plain);
    for (const auto& [name, printed] : {std::pair{"hours", "OPEN 9 TO 5"}, std::pair{"bye", "THANKS GA SK"}})
        for (const char* codec : {"clean", "g722"})
            EXPECT_EQ(checkLine(r.out, QString("%1, %2: ").arg(name, codec)).toStdString(),
                      QString("character error rate 0.0 %; prints \"%1\"").arg(printed).toStdString())
                << r.out.toStdString();
    EXPECT_EQ(r.err.toStdString(), "");
}
