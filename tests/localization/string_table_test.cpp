#include "localization/string_table.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(OwnStringTable, holdsIds0To41WithTheirExactTexts)
{
    for (int id = 0; id <= 41; ++id)
        EXPECT_TRUE(ownString(id).has_value()) << id;
    EXPECT_FALSE(ownString(-1).has_value());
    EXPECT_FALSE(ownString(42).has_value());
    const std::pair<int, const char*> texts[] = {
        {0, " Build "},
        {10, "."},
        {16, "Converstion from text to TTY WAV file complete"},
        {34,
         "This tool cannot run in a Windows Terminal Server sessions because of it's interaction with WAV "
         "drivers.  Exiting..."},
        {41, "You must first enter some text to convert into TTY/TDD WAV format."}};
    for (auto [id, text] : texts)
        EXPECT_EQ(ownString(id), QString::fromUtf8(text)) << id;

    // The home page texts name the configured host.
    const QString host = QStringLiteral(QUILLFEN_TEST_HOME_HOST);
    EXPECT_EQ(ownString(12), "An updated version of this tool is available on " + host +
                                 ".  Click OK to open the application home page now");
    EXPECT_EQ(ownString(36),
              "Unable to contact application home page to check for version.  You can access the "
              "home page and check for updated versions of all Veltrane Orrin tools by going to " +
                  host);
}
