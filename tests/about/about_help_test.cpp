// The About box, its language menu, the switch of every open window, and the Help window, offscreen.
#include "about/frm_about.h"
#include "app/main_menus.h"
#include "help/frm_help.h"
#include "localization/fonts.h"
#include "localization/mod_localize.h"
#include "mainwindow/frm_main.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

using namespace quillfen;
using quillfen::testing::RecordingMessages;
using quillfen::testing::waitFor;

namespace {

const QString kBuilt = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

class AboutHelpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("config"));
        resetLanguageState();
        setProgramLocation(dir.path(), "Quillfen");
        qputenv("LC_ALL", "de_DE.UTF-8");
    }
    void TearDown() override
    {
        help.reset();
        about.reset();
        window.reset();
        resetLanguageState();
        qputenv("LC_ALL", "C.UTF-8");
    }
    void install(const QString& name)
    {
        ASSERT_TRUE(QFile::copy(QDir(kBuilt).filePath(name), dir.filePath(name))) << name.toStdString();
    }
    QStringList menuCaptions() const
    {
        QStringList out;
        for (int i = 0; i < about->mnuLanguageListCount(); ++i)
            out << about->mnuLanguageList(i)->text() + "|" + about->mnuLanguageList(i)->data().toString();
        return out;
    }
    // The codes in the order the directory lists them, which is the menu's order.
    QStringList listed() const
    {
        QStringList codes;
        for (const QString& n : QDir(dir.path()).entryList({"Quillfen_*.dll"}, QDir::Files, QDir::Unsorted))
            codes << n.mid(9, 3);
        return codes;
    }

    QTemporaryDir dir;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
    std::unique_ptr<frmAbout> about;
    std::unique_ptr<frmHelp> help;
};

} // namespace

TEST_F(AboutHelpTest, aboutBoxShowsVersionNoticesAndItsControls)
{
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    auto* version = about->findChild<QLabel*>("lblVersion");
    EXPECT_EQ(version->text(), QStringLiteral(" 1.0 Build  6"));
    ASSERT_NE(about->lblVersionTitle(1), nullptr);
    EXPECT_EQ(about->lblVersionTitle(0), nullptr);
    EXPECT_EQ(about->lblVersionTitle(1)->text(), QStringLiteral("Version:"));
    EXPECT_EQ(about->lblVersionTitle(1)->property("index").toInt(), 1);
    EXPECT_TRUE(about->lblVersionTitle(1)->font().bold());
    EXPECT_EQ(about->lblVersionTitle(1)->alignment() & Qt::AlignRight, Qt::AlignRight);
    auto* link = about->findChild<QLabel*>("lblChangeLanguage");
    EXPECT_EQ(link->text(), QStringLiteral("Change Language"));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(about->findChild<QLabel*>("lblVeltraneAddress1")->text(),
              QStringLiteral("Veltrane Systems, Inc."));
    for (const char* notice : {"lblCopyright", "lblTrademark", "lblVeltraneAddress2", "lblVeltraneAddress3"})
        EXPECT_FALSE(about->findChild<QLabel*>(notice)->text().isEmpty()) << notice;
    EXPECT_FALSE(about->findChild<QLabel*>("picOrrinLogo")->pixmap().isNull());
    EXPECT_EQ(about->findChild<QLabel*>("picOrrinLogo")->pixmap().size(), QSize(146, 58));
    EXPECT_EQ(about->findChild<QLabel*>("picVeltraneLogo")->pixmap().size(), QSize(104, 62));
    EXPECT_EQ(about->findChild<QPushButton*>("cmdOK")->geometry(), QRect(312, 184, 85, 25));
    EXPECT_EQ(about->mnuSelectLanguage()->title(), QStringLiteral("Select Language"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(AboutHelpTest, languageMenuWithNoneOneAndThreeLibraries)
{
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    EXPECT_EQ(menuCaptions(), QStringList{"No loaded languages|1033"});
    about->mnuLanguageList_Click(0);
    EXPECT_EQ(CurrentLCID(), 1033);

    install("Quillfen_ENU.dll");
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    EXPECT_EQ(menuCaptions(), QStringList{"No loaded languages|1033"});

    install("Quillfen_DEU.dll");
    install("Quillfen_JPN.dll");
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    const QMap<QString, QString> names{{"ENU", "English (United States)|1033"},
                                       {"DEU", "German (Germany)|1031"},
                                       {"JPN", "Japanese (Japan)|1041"}};
    QStringList expected;
    for (const QString& code : listed())
        expected << names.value(code);
    EXPECT_EQ(menuCaptions(), expected);
    EXPECT_EQ(about->mnuSelectLanguage()->actions().size(), 3);

    install("Quillfen_ENX.dll");
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    EXPECT_TRUE(menuCaptions().contains("English (TTY/TDD)|33801"));
}

TEST_F(AboutHelpTest, switchingReCaptionsEveryOpenWindowHiddenHelpIncluded)
{
    install("Quillfen_DEU.dll");
    install("Quillfen_JPN.dll");
    window = std::make_unique<frmMain>(kBuilt);
    window->frmMain_Auto_Init();
    window->show();
    help = std::make_unique<frmHelp>(dir.path());
    help->Form_Load();
    help->hide();
    about = std::make_unique<frmAbout>(window.get());
    about->Form_Load();

    // The first opening reads the German system language, but keeps the texts it had already set.
    EXPECT_EQ(CurrentLCID(), 1031);
    EXPECT_GT(LanguageLibrary(), 0);
    EXPECT_EQ(about->findChild<QLabel*>("lblChangeLanguage")->text(), QStringLiteral("Change Language"));

    window->findChild<QLineEdit*>("txtOutputFileName")->setText("/somewhere/else.wav");
    help->setWindowTitle("stale");
    const QString version = about->findChild<QLabel*>("lblVersion")->text();
    int german = -1;
    for (int i = 0; i < about->mnuLanguageListCount(); ++i)
        if (about->mnuLanguageList(i)->data().toString() == "1031")
            german = i;
    ASSERT_GE(german, 0);
    about->mnuLanguageList(german)->trigger();

    EXPECT_EQ(window->findChild<QPushButton*>("cmdExit")->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(window->findChild<QLineEdit*>("txtOutputFileName")->text(),
              QDir::homePath() + "/TTYOutput.wav");
    EXPECT_EQ(about->findChild<QLabel*>("lblChangeLanguage")->text(), QStringLiteral("Sprache ändern"));
    EXPECT_EQ(about->mnuSelectLanguage()->title(), QStringLiteral("Sprache auswählen"));
    EXPECT_EQ(about->findChild<QLabel*>("lblVersion")->text(), version);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Quillfen"));
    EXPECT_EQ(about->cursor().shape(), Qt::ArrowCursor);

    // Japanese: every control of every open window takes its character set and face.
    SwitchLanguage(1041);
    EXPECT_EQ(controlCharset(window->findChild<QPushButton*>("cmdExit")), 128);
    EXPECT_EQ(controlCharset(about->findChild<QPushButton*>("cmdOK")), 128);
    EXPECT_EQ(controlCharset(help->browserHelp()), 1); // the browser is passed over
    EXPECT_NE(window->findChild<QPushButton*>("cmdExit")->text(), QStringLiteral("&Beenden"));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(AboutHelpTest, okHidesAndTheNextAboutShowsTheSameBoxWithoutListingAgain)
{
    install("Quillfen_DEU.dll");
    install("Quillfen_JPN.dll");
    window = std::make_unique<frmMain>(kBuilt);
    HelpMenuCommands commands(*window, dir.path());
    QTimer::singleShot(0, [&] { commands.about()->findChild<QPushButton*>("cmdOK")->click(); });
    commands.showAbout();
    ASSERT_NE(commands.about(), nullptr);
    const QStringList first = [&] {
        QStringList out;
        for (QAction* a : commands.about()->mnuSelectLanguage()->actions())
            out << a->text();
        return out;
    }();
    EXPECT_EQ(first.size(), 2);
    install("Quillfen_ENU.dll"); // not seen: the box is not loaded again
    frmAbout* same = commands.about();
    QTimer::singleShot(0, [&] { commands.about()->findChild<QPushButton*>("cmdOK")->click(); });
    commands.showAbout();
    EXPECT_EQ(commands.about(), same);
    EXPECT_EQ(commands.about()->mnuSelectLanguage()->actions().size(), 2);

    // Closed by the window system it is unloaded, and the next About lists again.
    QTimer::singleShot(0, [&] { commands.about()->close(); });
    commands.showAbout();
    EXPECT_TRUE(waitFor([&] { return commands.about() == nullptr; }));
    QTimer::singleShot(0, [&] { commands.about()->findChild<QPushButton*>("cmdOK")->click(); });
    commands.showAbout();
    EXPECT_EQ(commands.about()->mnuSelectLanguage()->actions().size(), 3);
}

TEST_F(AboutHelpTest, helpPageFollowsTheCurrentLanguageWithItsFallback)
{
    for (const char* page : {"Quillfen_ENU.htm", "Quillfen.htm"})
        install(page);
    struct Case
    {
        std::int32_t lcid;
        QString expected;
    };
    const Case cases[] = {
        {0, dir.filePath("Quillfen_ENU.htm")},            // nothing chosen yet: ENU, a plain path
        {1031, "file://" + dir.filePath("Quillfen.htm")}, // no German page: the fallback URL
        {1042, "file://" + dir.filePath("Quillfen.htm")}, // no code: "ERROR"
    };
    for (const Case& c : cases) {
        setCurrentLCID(c.lcid);
        help = std::make_unique<frmHelp>(dir.path());
        help->Form_Load();
        EXPECT_EQ(help->navigatedTo(), c.expected) << c.lcid;
        EXPECT_FALSE(help->browserHelp()->toPlainText().isEmpty());
    }
    // A missing fallback is no error either: the browser shows what it shows.
    QFile::remove(dir.filePath("Quillfen.htm"));
    setCurrentLCID(1031);
    help = std::make_unique<frmHelp>(dir.path());
    help->Form_Load();
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(AboutHelpTest, helpWindowKeepsItsMinimumAndIsReloadedOnlyAfterClosing)
{
    install("Quillfen_ENU.htm");
    install("Quillfen.htm");
    window = std::make_unique<frmMain>(kBuilt);
    HelpMenuCommands commands(*window, dir.path());
    commands.showHelp();
    frmHelp* shown = commands.help();
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(waitFor([&] { return shown->isVisible(); }));
    EXPECT_EQ(shown->navigatedTo(), dir.filePath("Quillfen_ENU.htm"));
    EXPECT_EQ(shown->parentWidget(), nullptr);

    shown->setWidth(1000);
    shown->setHeight(1000);
    EXPECT_TRUE(waitFor([&] { return shown->Width() >= 2500 && shown->Height() >= 2400; }));
    EXPECT_EQ(shown->browserHelp()->geometry().topLeft(), QPoint(7, 0));
    EXPECT_EQ(shown->browserHelp()->width(), qRound((shown->Width() - 200) / 15));
    EXPECT_EQ(shown->browserHelp()->height(), qRound((shown->Height() - 400) / 15));

    // Help again while open: the same window, the page not reloaded even after a language change.
    setCurrentLCID(1031);
    commands.showHelp();
    EXPECT_EQ(commands.help(), shown);
    EXPECT_EQ(shown->navigatedTo(), dir.filePath("Quillfen_ENU.htm"));

    shown->close();
    EXPECT_TRUE(waitFor([&] { return commands.help() == nullptr; }));
    commands.showHelp();
    EXPECT_EQ(commands.help()->navigatedTo(), "file://" + dir.filePath("Quillfen.htm"));
    commands.help()->close();
}

TEST_F(AboutHelpTest, brokenLibraryAndQuickRepeatedChoicesAreHarmless)
{
    QFile junk(dir.filePath("Quillfen_DEU.dll"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("MZ\x90\0 not really a library");
    junk.close();
    install("Quillfen_JPN.dll");
    about = std::make_unique<frmAbout>();
    about->Form_Load();
    EXPECT_EQ(LanguageLibrary(), 0); // the German library cannot be loaded: own texts
    EXPECT_EQ(about->mnuLanguageListCount(), 2);
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < about->mnuLanguageListCount(); ++i)
            about->mnuLanguageList(i)->trigger();
    EXPECT_TRUE(boxes.texts.isEmpty());
    // An unreadable tag switches nothing.
    const std::int32_t before = CurrentLCID();
    about->mnuLanguageList(0)->setData("  not a number");
    about->mnuLanguageList_Click(0);
    about->mnuLanguageList_Click(7);
    EXPECT_EQ(CurrentLCID(), before);
}
