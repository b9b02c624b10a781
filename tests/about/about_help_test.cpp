// The About box, its language menu, the switch of every open window, and the Help window, offscreen.
#include "about/frm_about.h"
#include "app/main_menus.h"
#include "help/frm_help.h"
#include "library_image.h"
#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/widgets/fonts.h"
#include "mainwindow/frm_main.h"
#include "platform/twips.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextTable>
#include <QTimer>
#include <QWindow>

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
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("config"));
        resetLanguageState();
        setProgramLocation(dir.path(), "Quillfen");
        qputenv("LC_ALL", "de_DE.UTF-8");
    }
    void install(const QStringList& names)
    {
        for (const QString& name : names)
            ASSERT_TRUE(QFile::copy(QDir(kBuilt).filePath(name), dir.filePath(name))) << name.toStdString();
    }
    void loadAbout(QWidget* parent = nullptr)
    {
        about = std::make_unique<frmAbout>(parent);
        about->Form_Load();
    }
    // "caption|LCID" of each entry, sorted: the menu follows the directory's order.
    QStringList menu() const
    {
        QStringList out;
        for (const QAction* a : about->mnuSelectLanguage()->actions())
            out << a->text() + "|" + a->data().toString();
        out.sort();
        return out;
    }
    template <typename T> T* in(QWidget* w, const char* name) { return w->findChild<T*>(QString(name)); }

    QTemporaryDir dir;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
    std::unique_ptr<frmAbout> about;
    std::unique_ptr<frmHelp> help;
};

} // namespace

TEST_F(AboutHelpTest, aboutBoxAndItsLanguageMenuWithNoneOneAndThreeLibraries)
{
    const QStringList none{"No loaded languages|1033"};
    loadAbout();
    EXPECT_FALSE(in<QLabel>(about.get(), "picVeltraneLogo")->pixmap().isNull());
    EXPECT_EQ(menu(), none);
    about->mnuLanguageList_Click(0);
    EXPECT_EQ(CurrentLCID(), 1033);
    install({"Quillfen_ENU.dll"});
    loadAbout();
    EXPECT_EQ(menu(), none);
    install({"Quillfen_DEU.dll", "Quillfen_JPN.dll"});
    loadAbout();
    EXPECT_EQ(menu(), (QStringList{"English (United States)|1033", "German (Germany)|1031",
                                   "Japanese (Japan)|1041"}));
    install({"Quillfen_ENX.dll"});
    loadAbout();
    EXPECT_TRUE(menu().contains("English (TTY/TDD)|33801"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(AboutHelpTest, theVersionSeparatorIsTheLanguagesString10)
{
    std::ofstream(dir.filePath("Quillfen_DEU.dll").toStdString(), std::ios::binary)
        << langlib::buildLibraryImage(
               strtab::parseSource("LANGUAGE 7, 1\nSTRINGTABLE\nBEGIN\n 10, \",\"\nEND\n", "t.rc"), "t.rc");
    loadAbout(); // the first opening loads the library of the German system language
    loadAbout();
    EXPECT_EQ(in<QLabel>(about.get(), "lblVersion")->text(), QStringLiteral(" 1,0 Build  6"));
}

TEST_F(AboutHelpTest, switchingReCaptionsEveryOpenWindowHiddenHelpIncluded)
{
    install({"Quillfen_DEU.dll", "Quillfen_JPN.dll"});
    window = std::make_unique<frmMain>(kBuilt);
    window->frmMain_Auto_Init();
    window->show();
    help = std::make_unique<frmHelp>(dir.path());
    help->Form_Load();
    help->hide();
    loadAbout(window.get());
    EXPECT_EQ(CurrentLCID(), 1031); // the first opening reads the German system language

    in<QLineEdit>(window.get(), "txtOutputFileName")->setText("/somewhere/else.wav");
    help->setWindowTitle("stale");
    const QString version = in<QLabel>(about.get(), "lblVersion")->text();
    for (int i = 0; i < about->mnuLanguageListCount(); ++i)
        if (about->mnuLanguageList(i)->data().toString() == "1031")
            about->mnuLanguageList(i)->trigger();
    EXPECT_EQ(in<QPushButton>(window.get(), "cmdExit")->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(in<QLineEdit>(window.get(), "txtOutputFileName")->text(), QDir::homePath() + "/TTYOutput.wav");
    EXPECT_EQ(in<QLabel>(about.get(), "lblChangeLanguage")->text(), QStringLiteral("Sprache ändern"));
    EXPECT_EQ(in<QLabel>(about.get(), "lblVersion")->text(), version);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Quillfen"));

    // Japanese: every control of every open window takes its character set, the browser excepted.
    SwitchLanguage(1041);
    EXPECT_EQ(controlCharset(in<QPushButton>(window.get(), "cmdExit")), 128);
    EXPECT_EQ(controlCharset(in<QPushButton>(about.get(), "cmdOK")), 128);
    EXPECT_EQ(controlCharset(help->browserHelp()), 1);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(AboutHelpTest, okHidesWithoutListingAgainAndClosingUnloads)
{
    install({"Quillfen_DEU.dll", "Quillfen_JPN.dll"});
    window = std::make_unique<frmMain>(kBuilt);
    HelpMenuCommands commands(*window, dir.path());
    const auto showAndThen = [&](std::function<void()> answer) {
        QTimer::singleShot(0, answer);
        commands.showAbout();
    };
    const auto ok = [&] { in<QPushButton>(commands.about(), "cmdOK")->click(); };
    showAndThen(ok);
    frmAbout* first = commands.about();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->mnuSelectLanguage()->actions().size(), 2);
    install({"Quillfen_ENU.dll"}); // not seen while the box stays loaded
    showAndThen(ok);
    EXPECT_EQ(commands.about(), first);
    EXPECT_EQ(first->mnuSelectLanguage()->actions().size(), 2);

    showAndThen([&] { commands.about()->close(); });
    EXPECT_TRUE(waitFor([&] { return commands.about() == nullptr; }));
    showAndThen(ok);
    EXPECT_EQ(commands.about()->mnuSelectLanguage()->actions().size(), 3);
}

TEST_F(AboutHelpTest, helpHasTheIconFollowsTheLanguageKeepsItsMinimumAndIsReloadedOnlyAfterClosing)
{
    install({"Quillfen_ENU.htm", "Quillfen.htm"});
    window = std::make_unique<frmMain>(kBuilt);
    HelpMenuCommands commands(*window, dir.path());
    commands.showHelp();
    frmHelp* shown = commands.help();
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(waitFor([&] { return shown->isVisible(); }));
    EXPECT_EQ(shown->navigatedTo(), dir.filePath("Quillfen_ENU.htm")); // nothing chosen yet: a plain path
    EXPECT_EQ(shown->windowIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}})); // the program's
    shown->setWidth(1000);
    shown->setHeight(1000);
    EXPECT_TRUE(waitFor([&] { return shown->Width() >= 2500 && shown->Height() >= 2400; }));
    // The window system knows the minimum.
    const QSize least = shown->windowHandle()->minimumSize();
    EXPECT_EQ(twipsFromPixels(least.width()) + shown->Width() - twipsFromPixels(shown->width()), 2505);
    EXPECT_EQ(twipsFromPixels(least.height()) + shown->Height() - twipsFromPixels(shown->height()), 2400);
    EXPECT_EQ(shown->browserHelp()->width(), qRound((shown->Width() - 200) / 15));

    // Help again while open: the same window, not reloaded even after a language change.
    setCurrentLCID(1031);
    commands.showHelp();
    EXPECT_EQ(commands.help(), shown);
    EXPECT_EQ(shown->navigatedTo(), dir.filePath("Quillfen_ENU.htm"));
    shown->close();
    EXPECT_TRUE(waitFor([&] { return commands.help() == nullptr; }));
    commands.showHelp();
    EXPECT_EQ(commands.help()->navigatedTo(), "file://" + dir.filePath("Quillfen.htm")); // no German page
    commands.help()->close();
    setCurrentLCID(1042); // no code for it: "ERROR", and so the fallback too
    help = std::make_unique<frmHelp>(dir.path());
    help->Form_Load();
    EXPECT_EQ(help->navigatedTo(), "file://" + dir.filePath("Quillfen.htm"));
    EXPECT_FALSE(help->browserHelp()->toPlainText().isEmpty());
}

// A screen reader gets a document named after the page, with a caret that walks it line by line;
// Escape and Ctrl+W close the window.
TEST_F(AboutHelpTest, helpIsADocumentNamedAfterItsPageWalkedByCaretAndClosedByEscapeOrCtrlW)
{
    install({"Quillfen_ENU.htm", "Quillfen.htm"});
    for (const QKeySequence& closing : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shown = new frmHelp(dir.path()); // deletes itself on close
        QPointer<frmHelp> alive(shown);
        shown->Form_Load();
        shown->show();
        shown->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
        QAccessibleInterface* page = QAccessible::queryAccessibleInterface(shown->browserHelp());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->role(), QAccessible::Document);
        EXPECT_TRUE(page->state().readOnly);
        QAccessibleTextInterface* text = page->textInterface();
        ASSERT_NE(text, nullptr);
        // One line at a time, not the page in one utterance.
        int start = 0, end = 0;
        const QString firstLine = text->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
        EXPECT_EQ(firstLine.trimmed(), "Quillfen Help");
        EXPECT_LT(end, text->characterCount() / 20);
        EXPECT_EQ(page->text(QAccessible::Name), "Quillfen Help");
        EXPECT_EQ(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name), "Quillfen Help");
        EXPECT_EQ(QApplication::focusWidget(), shown->browserHelp());
        const int line = shown->browserHelp()->textCursor().blockNumber();
        QTest::keyClick(shown->browserHelp(), Qt::Key_Down);
        EXPECT_GT(shown->browserHelp()->textCursor().blockNumber(), line);
        EXPECT_EQ(text->cursorPosition(), shown->browserHelp()->textCursor().position());
        QTest::keySequence(shown->browserHelp(), closing);
        EXPECT_TRUE(waitFor([&] { return alive.isNull(); })) << closing.toString().toStdString();
    }
}

// The page's text, shading and table lines are the palette's, also after the palette changes while
// the page is open: a dark high-contrast palette reads as well as the standard one.
TEST_F(AboutHelpTest, everyColourOfTheHelpPageIsThePalettes)
{
    install({"Quillfen_ENU.htm", "Quillfen_help.css"});
    const QPalette standard = QApplication::palette();
    QPalette dark = standard;
    dark.setColor(QPalette::Base, Qt::black);
    dark.setColor(QPalette::AlternateBase, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Link, Qt::yellow);
    help = std::make_unique<frmHelp>(dir.path());
    help->Form_Load();
    for (const QPalette& palette : {standard, dark}) {
        // Without an event loop running the program's windows are not told; here the test tells it.
        QApplication::setPalette(palette);
        help->setPalette(palette);
        const QList<QColor> own{palette.color(QPalette::Text), palette.color(QPalette::AlternateBase),
                                palette.link().color()};
        QStringList foreign;
        int shaded = 0;
        const auto check = [&](const QTextFormat& format, QTextFormat::Property property) {
            if (!format.hasProperty(property))
                return;
            const QColor colour = format.brushProperty(property).color();
            shaded += property != QTextFormat::ForegroundBrush;
            if (!own.contains(colour))
                foreign << colour.name();
        };
        const QTextDocument* page = help->browserHelp()->document();
        for (QTextBlock block = page->begin(); block.isValid(); block = block.next()) {
            check(block.blockFormat(), QTextFormat::BackgroundBrush);
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                check(it.fragment().charFormat(), QTextFormat::ForegroundBrush);
                check(it.fragment().charFormat(), QTextFormat::BackgroundBrush);
            }
            if (const QTextTable* table = QTextCursor(block).currentTable()) {
                check(table->format(), QTextFormat::FrameBorderBrush);
                check(table->cellAt(block.position()).format(), QTextFormat::BackgroundBrush);
            }
        }
        EXPECT_GT(shaded, 0);
        foreign.removeDuplicates();
        EXPECT_EQ(foreign, QStringList()) << palette.color(QPalette::Base).name().toStdString();
    }
    QApplication::setPalette(standard);
}

// "Change Language" is a button that opens a menu, from Tab, Space, Enter or a screen reader, at the
// label with the language marked; drawn in the palette's link colour, its focus shown from the start.
TEST_F(AboutHelpTest, changeLanguageIsAMenuButtonForKeyboardScreenReaderAndHighContrast)
{
    install({"Quillfen_DEU.dll", "Quillfen_JPN.dll"});
    loadAbout();
    QPalette dark = about->palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Link, Qt::yellow);
    about->setPalette(dark);
    about->show();
    about->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about.get()));
    auto* label = in<QLabel>(about.get(), "lblChangeLanguage");
    const auto menu = [&] { return about->mnuSelectLanguage(); };
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(label);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::ButtonMenu);
    EXPECT_EQ(button->text(QAccessible::Name), label->text());
    for (const char* logo : {"picOrrinLogo", "picVeltraneLogo"})
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(in<QLabel>(about.get(), logo))
                         ->text(QAccessible::Name)
                         .isEmpty())
            << logo;

    const auto has = [&](const std::function<bool(const QColor&)>& like) {
        const QImage image = label->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (like(QColor(image.pixel(x, y))))
                    return true;
        return false;
    };
    // Yellow letters on black, and nothing of the old fixed blue.
    in<QPushButton>(about.get(), "cmdOK")->setFocus();
    ASSERT_TRUE(waitFor([&] { return !label->hasFocus(); }));
    EXPECT_TRUE(has([](const QColor& c) { return c.red() > 200 && c.green() > 200 && c.blue() < 60; }));
    EXPECT_FALSE(has([](const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; }));
    // Focus shows, in the highlight colour, without a Tab first.
    const QRgb highlight = dark.color(QPalette::Highlight).rgb() & 0xFFFFFF;
    EXPECT_FALSE(has([&](const QColor& c) { return (c.rgb() & 0xFFFFFF) == highlight; }));
    label->setFocus();
    ASSERT_TRUE(waitFor([&] { return label->hasFocus(); }));
    EXPECT_TRUE(has([&](const QColor& c) { return (c.rgb() & 0xFFFFFF) == highlight; }));
    in<QPushButton>(about.get(), "cmdOK")->setFocus();
    for (int i = 0; i < 5 && QApplication::focusWidget() != label; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), label);

    const auto marked = [&] {
        QStringList out;
        for (const QAction* a : menu()->actions())
            if (a->isChecked())
                out << a->data().toString();
        return out;
    };
    // The system language, then a language chosen in the menu.
    const std::pair<Qt::Key, QString> openings[] = {{Qt::Key_Space, "1031"}, {Qt::Key_Return, "1041"}};
    for (const auto& [key, lcid] : openings) {
        QTest::keyClick(label, key);
        ASSERT_TRUE(waitFor([&] { return menu()->isVisible(); })) << key;
        EXPECT_EQ(marked(), QStringList{lcid});
        // Opened at the label, not wherever the mouse is.
        EXPECT_TRUE(menu()->geometry().contains(label->mapToGlobal(label->rect().bottomLeft())));
        menu()->hide();
        SwitchLanguage(1041);
    }
    EXPECT_TRUE(about->isVisible()); // Enter went to the label, not to the OK button
    QAccessibleActionInterface* actions = button->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(waitFor([&] { return menu()->isVisible(); }));
    menu()->hide();
    EXPECT_TRUE(boxes.texts.isEmpty());
}

// Qt's own texts (file dialogs, message-box buttons) follow the language chosen, and go back with it.
TEST_F(AboutHelpTest, qtsOwnTextsFollowTheChosenLanguageAndGoBackWithIt)
{
    install({"Quillfen_DEU.dll", "Quillfen_FRA.dll", "Quillfen_ENU.dll"});
    const auto qtTexts = [] {
        return QStringList{QCoreApplication::translate("QFileDialog", "Look in:"),
                           QCoreApplication::translate("QPlatformTheme", "Cancel")};
    };
    const QStringList english{"Look in:", "Cancel"};
    EXPECT_EQ(qtTexts(), english); // nothing chosen at start: the program's own texts
    loadAbout();                   // the system language, German here
    EXPECT_EQ(qtTexts(), (QStringList{"Suchen in:", "Abbrechen"}));
    SwitchLanguage(1036);
    EXPECT_EQ(qtTexts(), (QStringList{"Voir dans :", "Annuler"}));
    SwitchLanguage(1033);
    EXPECT_EQ(qtTexts(), english);
    SwitchLanguage(1031);
    resetLanguageState();
    EXPECT_EQ(qtTexts(), english);
}

TEST_F(AboutHelpTest, brokenLibraryAndQuickRepeatedChoicesAreHarmless)
{
    QFile junk(dir.filePath("Quillfen_DEU.dll"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("MZ\x90 not really a library") > 0);
    junk.close();
    install({"Quillfen_JPN.dll"});
    loadAbout();
    EXPECT_EQ(LanguageLibrary(), 0); // the German library cannot be loaded: own texts
    EXPECT_EQ(about->mnuLanguageListCount(), 2);
    for (int i = 0; i < 6; ++i)
        about->mnuLanguageList(i % 2)->trigger();
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(AboutHelpTest, everyCaptionFitsItsControlInEveryShippedLanguageAtTheDesignedAndTheMinimumWidth)
{
    const QStringList libraries = QDir(kBuilt).entryList({"Quillfen_*.dll"}, QDir::Files);
    ASSERT_EQ(libraries.size(), 6);
    install(libraries);
    window = std::make_unique<frmMain>(kBuilt);
    window->frmMain_Auto_Init();
    window->show();
    loadAbout(window.get());
    about->show();
    // Every control with a caption, with its font's size: all of them at the designed size in the
    // program's own texts, none below 7 points in any language.
    const auto captions = [&](const QString& where) {
        QStringList sizes;
        for (QWidget* form : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(about.get())}) {
            for (const QWidget* c : form->findChildren<QWidget*>()) {
                const QString caption = shownCaption(c);
                if (caption.isEmpty() || c->objectName().isEmpty() || c->window() != form)
                    continue;
                const QFont font = c->font();
                EXPECT_LE(QFontMetricsF(font).horizontalAdvance(caption), captionRoom(c))
                    << where.toStdString() << ": " << c->objectName().toStdString() << " \""
                    << caption.toStdString() << "\" at " << font.pointSizeF() << " points";
                EXPECT_GE(font.pointSizeF(), 7.0) << c->objectName().toStdString();
                sizes << QString::number(font.pointSizeF());
            }
        }
        return sizes;
    };
    const QStringList own = captions("own texts");
    EXPECT_EQ(own.size(), 15);
    EXPECT_EQ(own, QStringList(own.size(), "8.25"));
    EXPECT_EQ(in<QPushButton>(window.get(), "cmdExit")->font().family(), QApplication::font().family());

    for (const QString& library : libraries) {
        const QString code = library.mid(9, 3);
        if (code == "JPN") { // its captions need a CJK font on the machine
            ASSERT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
        }
        SwitchLanguage(GetLCIDFromCode(code));
        window->setWidth(9930);
        QApplication::processEvents();
        captions(code + " at the designed width");
        window->setWidth(3900);
        QApplication::processEvents();
        captions(code + " at the minimum width");
    }
    EXPECT_TRUE(boxes.texts.isEmpty());
}
