#include "localization/mod_localize.h"
#include "localization/widgets/fonts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>

#include <memory>

using namespace quillfen;

TEST(Fonts, eachLanguageGivesNamedControlsItsCharsetAndFace_notMenusNorTheBrowser)
{
    QWidget window;
    auto* label = new QLabel(&window);
    auto* menu = new QMenuBar(&window);
    auto* browser = new QTextBrowser(&window);
    label->setObjectName("lblName"); // only named controls are set
    menu->setObjectName("mnuFile");
    browser->setObjectName("browserHelp");
    const QFont menuFont = menu->font(), browserFont = browser->font();
    // East-Asian languages without a code of ours still get their fonts.
    const std::tuple<std::int32_t, int, QString> rows[] = {
        {1041, 128, QString::fromUtf16(u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF")},
        {1033, 1, QApplication::font().family()},
        {1042, 129, QString::fromUtf16(u"\uAD74\uB9BC")},
        {1028, 136, QString::fromUtf16(u"\u65B0\u7D30\u660E\u9AD4")},
        {2052, 134, QString::fromUtf16(u"\u5B8B\u4F53")},
        {33801, 1, QApplication::font().family()}};
    for (const auto& [lcid, charset, face] : rows) {
        setCurrentLCID(lcid);
        SetFormFonts(&window);
        EXPECT_EQ(controlCharset(label), charset) << lcid;
        EXPECT_EQ(label->font().family(), face) << lcid;
        EXPECT_EQ(menu->font(), menuFont);
        EXPECT_EQ(browser->font(), browserFont);
    }
    resetLanguageState();
}

TEST(Fonts, aCaptionIsMeasuredAsItIsShownWithoutItsMnemonicMarks)
{
    const std::pair<QString, QString> buttons[] = {
        {"E&xit", "Exit"},
        {"Save && Quit", "Save & Quit"},
        {QString::fromUtf8("WAV ファイルの作成(&C)"), QString::fromUtf8("WAV ファイルの作成(C)")},
        {"Trailing&", "Trailing"}};
    for (const auto& [text, shown] : buttons)
        EXPECT_EQ(shownCaption(std::make_unique<QPushButton>(text).get()), shown) << text.toStdString();
    EXPECT_EQ(shownCaption(std::make_unique<QLabel>("Rock & Roll").get()), "Rock & Roll"); // no buddy
    EXPECT_EQ(shownCaption(std::make_unique<QGroupBox>("&Output").get()), "Output");
    EXPECT_EQ(shownCaption(std::make_unique<QLineEdit>("typed & kept").get()), QString()); // not a caption
}
