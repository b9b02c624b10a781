#include "localization/fonts.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QWidget>

using namespace quillfen;

namespace {

void app()
{
    ASSERT_NE(qApp, nullptr);
}

const QString kJapaneseFace = QString::fromUtf16(u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF");

struct Form
{
    Form()
    {
        window.setObjectName("frmTest");
        QFont big = window.font();
        big.setPointSize(14);
        big.setBold(true);
        label->setObjectName("lblName");
        label->setFont(big);
        edit->setObjectName("txtInput");
        button->setObjectName("cmdGo");
        menu->setObjectName("mnuFile");
        browser->setObjectName("browserHelp");
    }
    QWidget window;
    QLabel* label = new QLabel(&window);
    QLineEdit* edit = new QLineEdit(&window);
    QPushButton* button = new QPushButton(&window);
    QMenuBar* menu = new QMenuBar(&window);
    QTextBrowser* browser = new QTextBrowser(&window);
};

} // namespace

TEST(Fonts, japaneseGivesEveryControlItsCharsetAndFaceAndBackAgain)
{
    app();
    resetLanguageState();
    Form f;
    const QFont formFont = f.window.font();
    const QFont menuFont = f.menu->font();
    const QFont browserFont = f.browser->font();

    setCurrentLCID(1041);
    SetFormFonts(&f.window);
    for (QWidget* control : std::initializer_list<QWidget*>{f.label, f.edit, f.button}) {
        EXPECT_EQ(controlCharset(control), 128) << control->objectName().toStdString();
        EXPECT_EQ(control->font().family(), kJapaneseFace);
    }
    EXPECT_EQ(f.label->font().pointSize(), 14); // size and weight stay
    EXPECT_TRUE(f.label->font().bold());
    EXPECT_EQ(f.window.font(), formFont);
    EXPECT_EQ(f.menu->font(), menuFont);
    EXPECT_EQ(f.browser->font(), browserFont);
    EXPECT_FALSE(f.menu->property("charset").isValid());
    EXPECT_FALSE(f.browser->property("charset").isValid());

    setCurrentLCID(1033);
    SetFormFonts(&f.window);
    for (QWidget* control : std::initializer_list<QWidget*>{f.label, f.edit, f.button}) {
        EXPECT_EQ(controlCharset(control), 1);
        EXPECT_EQ(control->font().family(), QApplication::font().family());
    }
    EXPECT_EQ(f.label->font().pointSize(), 14);
    resetLanguageState();
}

TEST(Fonts, eastAsianLanguagesWithoutCodesStillGetTheirFonts)
{
    const std::tuple<std::int32_t, int, QString> rows[] = {
        {1042, 129, QString::fromUtf16(u"\uAD74\uB9BC")},
        {1028, 136, QString::fromUtf16(u"\u65B0\u7D30\u660E\u9AD4")},
        {2052, 134, QString::fromUtf16(u"\u5B8B\u4F53")},
        {0, 1, QString()},
        {33801, 1, QString()},
    };
    app();
    for (const auto& [lcid, charset, face] : rows) {
        setCurrentLCID(lcid);
        ControlFont font{QFont(), 77};
        font.font.setItalic(true);
        SetFontForLanguage(font);
        EXPECT_EQ(font.charset, charset) << lcid;
        EXPECT_EQ(font.font.family(), face.isEmpty() ? QApplication::font().family() : face);
        EXPECT_TRUE(font.font.italic());
    }
    resetLanguageState();
}

TEST(Fonts, initalizeLanguagesAppliesFontsToRegisteredForms)
{
    app();
    resetLanguageState();
    qputenv("LC_ALL", "ja_JP.UTF-8");
    quillfen::testing::RecordingMessages boxes; // the missing directory is reported there
    Form f;
    registerOpenForm({"frmTest", &f.window, {}, [&] { SetFormFonts(&f.window); }, {}});
    setProgramLocation(QDir::tempPath() + "/no-quillfen-languages-here", "Quillfen");
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1041);
    EXPECT_EQ(controlCharset(f.edit), 128);
    qputenv("LC_ALL", "C.UTF-8");
    resetLanguageState();
}
