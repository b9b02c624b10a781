// File, Convert Message Set driven in the window: the set written with its summary in the
// diagnostic box, a cancel that leaves the folder as it was, a refusal in a message box, and the
// choices read back the next time the box opens.
#include "localization/mod_localize.h"
#include "main_window_fixture.h"
#include "mainwindow/announcer.h"
#include "mainwindow/frm_main.h"
#include "mainwindow/frm_message_set.h"
#include "platform/open_dialog.h"
#include "platform/session.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

class MessageSetDialog : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QObject::connect(window->findChild<Announcer*>("announcer"), &Announcer::announced,
                         [this](const QString& text) { alerts << text; });
    }

    frmMessageSet* openBox()
    {
        window->findChild<QAction*>("mnuConvertMessageSet")->trigger();
        return window->findChild<frmMessageSet*>("frmMessageSet");
    }
    // Whether the box, closed, has gone: it deletes itself once it closes.
    static bool gone(const QPointer<frmMessageSet>& box)
    {
        return waitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return box.isNull();
        });
    }
    template <typename T> static T* in(QWidget* box, const char* name) { return box->findChild<T*>(name); }
    static void fill(QWidget* box, const QString& csv, const QString& system, const QString& folder)
    {
        in<QLineEdit>(box, "txtCsv")->setText(csv);
        auto* systems = in<QComboBox>(box, "cboSystem");
        systems->setCurrentIndex(systems->findData(system));
        in<QLineEdit>(box, "txtFolder")->setText(folder);
    }
    QString csv(const QByteArray& bytes)
    {
        const QString path = out.filePath("set.csv");
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    QString lastDiagLine()
    {
        const QStringList lines = diag().split('\n', Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.constLast();
    }

    QStringList alerts;
};

} // namespace

TEST_F(MessageSetDialog, aSetIsWrittenInTheChosenSystemsFormatAndSummarizedAfterTheDesignedLines)
{
    const QString set = csv("name,text\r\ngreeting,Hello GA\r\nclosed,We are closed GA\r\n");
    const struct
    {
        const char* system;
        int encodingIndex; // in the box's list; -1: the system fixes it
        QStringList files;
        const char* manifestFormat;
        const char* summaryName;
    } cases[] = {
        {"3cx", -1, {"closed.wav", "greeting.wav"}, ",pcm16,8000,", "3CX"},
        {"avaya", 1, {"closed.wav", "greeting.wav"}, ",alaw,8000,", "Avaya"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        const QString dir = out.filePath(c.system);
        const QString before = diag();
        QPointer<frmMessageSet> box = openBox();
        ASSERT_TRUE(box);
        fill(box, set, c.system, dir);
        auto* encodings = in<QComboBox>(box, "cboEncoding");
        EXPECT_EQ(encodings->isEnabled(), c.encodingIndex >= 0);
        if (c.encodingIndex >= 0)
            encodings->setCurrentIndex(c.encodingIndex);
        in<QPushButton>(box, "cmdConvert")->click();

        QStringList written;
        for (const auto& [path, bytes] : folderSnapshot(dir))
            written << path;
        EXPECT_EQ(written, QStringList(c.files) << "manifest.csv");
        const QString manifest = QString::fromUtf8(fileBytes(dir + "/manifest.csv"));
        EXPECT_TRUE(manifest.contains("greeting,greeting.wav" + QString(c.manifestFormat)))
            << manifest.toStdString();
        const QString summary =
            QString("Message set for %1: 2 messages in 2 files written to %2").arg(c.summaryName, dir);
        EXPECT_TRUE(diag().startsWith(before)) << "the lines already there stay";
        EXPECT_EQ(lastDiagLine(), summary);
        EXPECT_EQ(alerts.value(alerts.size() - 1), summary);
        EXPECT_TRUE(boxes.texts.isEmpty());
        EXPECT_TRUE(gone(box)) << "a set that was written closes the box";
    }
}

TEST_F(MessageSetDialog, theCodecCheckReportsAfterTheSummaryAndLeavesTheFilesAlone)
{
    const QString set = csv("name,text\r\ngreeting,Hello GA\r\n");
    const auto make = [&](const QString& dir, const QStringList& codecs) {
        QPointer<frmMessageSet> box = openBox();
        fill(box, set, "wav", dir);
        for (const QString& codec : codecs)
            in<QCheckBox>(box, qPrintable("chkCodec_" + codec))->setChecked(true);
        in<QPushButton>(box, "cmdConvert")->click();
        EXPECT_TRUE(gone(box));
    };
    make(out.filePath("plain"), {});
    const qsizetype linesBefore = diag().split('\n', Qt::SkipEmptyParts).size();
    make(out.filePath("checked"), {"g722", "gsm"});

    const QStringList added = diag().split('\n', Qt::SkipEmptyParts).mid(linesBefore);
    ASSERT_GE(added.size(), 2) << diag().toStdString();
    EXPECT_TRUE(added.constFirst().startsWith("Message set for WAV: 1 messages"));
    for (const QString& line : added.mid(1)) {
        EXPECT_TRUE(line.startsWith("Codec check: ")) << line.toStdString();
        EXPECT_FALSE(line.contains("G.722")) << "G.722 carries the tones intact";
    }
    EXPECT_EQ(folderSnapshot(out.filePath("checked")), folderSnapshot(out.filePath("plain")));
}

TEST_F(MessageSetDialog, aCancelledSetLeavesTheFolderAsItWasOrNotThereAtAll)
{
    const QString set = csv("name,text\ngreeting,Hello you have reached the TTY line GA\n"
                            "closed,We are closed today please call again tomorrow GA\n"
                            "holiday,We are closed for the holiday GA\nmenu,Press 1 for sales GA\n");
    const struct
    {
        const char* what;
        QString dir;
        bool earlierFile;
    } cases[] = {
        {"a folder with an earlier greeting", out.filePath("kept"), true},
        {"a folder that was not there", out.filePath("new/set"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.earlierFile) {
            ASSERT_TRUE(QDir().mkpath(c.dir) && writeFile(c.dir + "/greeting.wav", "an earlier greeting"));
        }
        const auto before = folderSnapshot(c.dir);
        QPointer<frmMessageSet> box = openBox();
        ASSERT_TRUE(box);
        fill(box, set, "wav", c.dir);
        int seen = 0;
        QObject::connect(box, &frmMessageSet::progressed, box, [&](int done, int) {
            seen = std::max(seen, done);
            auto* progress = in<QProgressDialog>(box, "prgMessageSet");
            if (done == 1 && progress && progress->findChild<QPushButton*>())
                progress->findChild<QPushButton*>()->click();
        });
        in<QPushButton>(box, "cmdConvert")->click();

        EXPECT_GE(seen, 1);
        EXPECT_EQ(lastDiagLine(), "Message set cancelled; nothing was written to " + c.dir);
        EXPECT_EQ(alerts.value(alerts.size() - 1), lastDiagLine());
        EXPECT_EQ(folderSnapshot(c.dir), before);
        EXPECT_EQ(QFileInfo::exists(c.dir), c.earlierFile);
        EXPECT_FALSE(QFileInfo::exists(out.filePath("new")));
        ASSERT_TRUE(box && box->isVisible()) << "the box stays open to run the set again";
        box->reject();
        ASSERT_TRUE(gone(box));
    }
}

TEST_F(MessageSetDialog, aRefusedSetShowsWhyInAMessageBoxAndWritesNothing)
{
    const QString dir = out.filePath("refused");
    const struct
    {
        const char* what;
        QByteArray csv;
        const char* reason;
    } cases[] = {
        {"no text column", "name\ngreeting\n", "line 1: no \"text\" column in the header"},
        {"a name twice", "name,text\na,Hi\na,Ho\n", "line 3: the name \"a\" is used twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.texts.clear();
        const QString before = diag();
        QPointer<frmMessageSet> box = openBox();
        fill(box, csv(c.csv), "wav", dir);
        in<QPushButton>(box, "cmdConvert")->click();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains(c.reason)) << boxes.texts[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir));
        EXPECT_EQ(diag(), before);
        EXPECT_TRUE(alerts.isEmpty()) << "the message box speaks for itself";
        ASSERT_TRUE(box && box->isVisible());
        box->reject();
        ASSERT_TRUE(gone(box));
    }
}

TEST_F(MessageSetDialog, theCsvSystemAndFolderAreReadBackWhenTheBoxOpensAgain)
{
    QPointer<frmMessageSet> box = openBox();
    EXPECT_EQ(in<QLineEdit>(box, "txtCsv")->text(), QString()) << "nothing remembered yet";
    const QString set = csv("name\nx\n"); // refused: only the remembering counts here
    fill(box, set, "cisco", out.filePath("sounds"));
    in<QPushButton>(box, "cmdConvert")->click();
    box->reject();
    ASSERT_TRUE(gone(box));

    newWindow(); // a later session
    box = openBox();
    EXPECT_EQ(in<QLineEdit>(box, "txtCsv")->text(), set);
    EXPECT_EQ(in<QComboBox>(box, "cboSystem")->currentData().toString(), "cisco");
    EXPECT_EQ(in<QLineEdit>(box, "txtFolder")->text(), out.filePath("sounds"));
    QSettings stored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/MessageSetSystem").toString(), "cisco");
}
