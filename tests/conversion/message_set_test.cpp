#include "conversion/message_set.h"
#include "platform/app_error.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

// The rows, or the error's text.
std::pair<QList<MessageRow>, QString> parse(const QByteArray& csv)
{
    try {
        return {parseMessageCsv(csv), {}};
    } catch (const AppError& e) {
        return {{}, e.description};
    }
}

} // namespace

TEST(MessageCsv, quotingLineEndsAndColumnOrderAsSpreadsheetsWriteThem)
{
    const auto [good, none] = parse("\xEF\xBB\xBFText,NAME,voice_after\r\n"
                                    "\"Hello, caller\",greeting,\r\n"
                                    "\r\n"
                                    "\"Say \"\"GA\"\"\nwhen done\",after-hours,\"bye.wav\"");
    ASSERT_EQ(none, QString());
    ASSERT_EQ(good.size(), 2);
    EXPECT_EQ(good[0].line, 2);
    EXPECT_EQ(good[0].name, "greeting");
    EXPECT_EQ(good[0].text, "Hello, caller");
    EXPECT_EQ(good[0].voiceBefore, "");
    EXPECT_EQ(good[1].line, 4);
    EXPECT_EQ(good[1].text, "Say \"GA\"\nwhen done");
    EXPECT_EQ(good[1].voiceAfter, "bye.wav");
}

TEST(MessageCsv, everyFaultIsRefusedNamingItsLine)
{
    const struct
    {
        QByteArray csv;
        const char* error;
    } cases[] = {
        {"", "line 1: no header row: it names the columns, \"name\" and \"text\" at least"},
        {"name\nx\n", "line 1: no \"text\" column in the header"},
        {"name,text,lang\n",
         "line 1: unknown column \"lang\"; the columns are name, text, voice_before, voice_after"},
        {"name,text,Name\n", "line 1: the column \"name\" is named twice"},
        {"name,text\na,hi,there\n", "line 2: 3 fields where the header has 2"},
        {"name,text\na,\"hi\nthere\nb,c\n", "line 2: a quoted field is not closed"},
        {"name,text\na,hi \"there\"\n", "line 2: a quote inside a field that does not start with one"},
        {"name,text\na,\"hi\" there\n", "line 2: a closing quote must end its field"},
        {"name,text\na,hi\nA,ho\n", "line 3: the name \"A\" is used twice"},
        {"name,text\na, \n", "line 2: the message \"a\" has no text"},
        {"text,name\n\"\",quoted\n", "line 2: the message \"quoted\" has no text"},
        {"name,text\n../up,hi\n", "line 2: the name \"../up\" holds a path separator"},
        {"name,text\nok,hi\nbad,\xC3\x28\n", "line 3: the file is not UTF-8 text"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.csv).second, QString::fromUtf8(c.error)) << c.csv.toStdString();
}

TEST(MessageName, fitsEveryFileSystemAPhoneSystemMayServeFrom)
{
    for (const char* good : {"greeting", "after-hours_2", "menu.main", "Grüße", "con-call", "COM0", "lpt"})
        EXPECT_EQ(messageNameFault(QString::fromUtf8(good)), QString()) << good;
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "tab\there", "CON", "nul.txt", "Lpt9", "com1.wav",
                            "what?", "a:b", "end.", "end "})
        EXPECT_NE(messageNameFault(QString::fromUtf8(bad)), QString()) << bad;
}
