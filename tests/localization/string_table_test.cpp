#include "localization/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(OwnStringTable, holdsEveryIdFrom0To41AndNothingElse)
{
    for (int id = 0; id <= 41; ++id)
        EXPECT_TRUE(ownString(id).has_value()) << id;
    EXPECT_FALSE(ownString(-1).has_value());
    EXPECT_FALSE(ownString(42).has_value());
}

TEST(OwnStringTable, textsAreExactToTheLastBlank)
{
    const std::pair<int, const char*> texts[] = {
        {0, " Build "},
        {3, "(error):"},
        {4, ") in procedure Form_Load of Form frmMain"},
        {10, "."},
        {16, "Converstion from text to TTY WAV file complete"},
        {20, "Error in from_load routing for frmAbout: "},
        {24, "New Text="},
        {27, "Original String="},
        {32, "Quillfen"},
        {34,
         "This tool cannot run in a Windows Terminal Server sessions because of it's interaction with WAV "
         "drivers.  Exiting..."},
        {41, "You must first enter some text to convert into TTY/TDD WAV format."},
    };
    for (auto [id, text] : texts)
        EXPECT_EQ(ownString(id), QString::fromUtf8(text)) << id;
}

TEST(OwnStringTable, homePageTextsNameTheConfiguredHost)
{
    const QString host = QStringLiteral(QUILLFEN_TEST_HOME_HOST);
    EXPECT_EQ(ownString(12), "An updated version of this tool is available on " + host +
                                 ".  Click OK to open the application home page now");
    EXPECT_EQ(ownString(36),
              "Unable to contact application home page to check for version.  You can access the "
              "home page and check for updated versions of all Veltrane Orrin tools by going to " +
                  host);
}

TEST(MyLoadResString, knownIdsComeFromTheOwnTableWithoutAMessage)
{
    quillfen::testing::RecordingMessages boxes;
    EXPECT_EQ(myLoadResString(32), QStringLiteral("Quillfen"));
    EXPECT_EQ(myLoadResString(0), QStringLiteral(" Build "));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(MyLoadResString, unknownIdShowsTheErrorAndGivesEmptyText)
{
    quillfen::testing::RecordingMessages boxes;
    EXPECT_EQ(myLoadResString(42), QString());
    EXPECT_EQ(myLoadResString(-7), QString());
    EXPECT_EQ(boxes.texts,
              (QStringList{"error in myLoadResString: Resource with identifier '42' not found",
                           "error in myLoadResString: Resource with identifier '-7' not found"}));
    EXPECT_EQ(boxes.titles, (QStringList{QString(), QString()}));
}
