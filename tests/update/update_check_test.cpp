#include "update/update_check.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace quillfen;
using quillfen::testing::RecordingMessages;

namespace {

// How the home page publishes its version: a Helvetica cell after a "Version" cell.
QString homePage(const QString& versionCell, const QString& marker = QStringLiteral(">Version<"))
{
    return "<html><body><table><tr><td" + marker + "/td><td><font face=\"Helvetica\">" + versionCell +
           "</font></td></tr></table></body></html>";
}

} // namespace

TEST(PadVersionString, zeroFillsFieldsByValueAndRefusesShortTexts)
{
    RecordingMessages boxes;
    const std::pair<const char*, const char*> cases[] = {
        {"1.0.6", "0001.0000.0006"},
        {"2.13.125", "0002.0013.0125"},
        {"7.007.00012", "0007.0007.0012"},
        {"1.0.12345", "0001.0000.12345"},
        {"000012345.1", "12345.0001"},
        {"1..6", "0001..0006"},
        {"1.0.", "0001.0000."},
        {".1.2", ".0001.0002"},
        {"1.2", ""},
        {"...", ""},
        {"", ""},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(PadVersionString(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(PadVersionString, noPeriodIsReportedAndGivesNoVersion)
{
    RecordingMessages boxes;
    EXPECT_EQ(PadVersionString(QStringLiteral("2003")), QString());
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("(error):5 (Invalid procedure call or argument) in procedure "
                                             "PadVersionString of Module modUpdateCheck"));
    EXPECT_EQ(boxes.titles[0], QString());
}

TEST(VersionFromPageText, readsTheRunEleventhCharacterFromHelveticaAfterTheMarker)
{
    RecordingMessages boxes;
    const std::pair<QString, const char*> cases[] = {
        {homePage("1.2.3"), "0001.0002.0003"},
        {homePage("1.0.6", ">VERSION<").replace("Helvetica", "HELVETICA"), "0001.0000.0006"},
        {homePage("1.0.6.</font> is current"), "0001.0000.0006"},
        {homePage("1.0.6..x"), "0001.0000.0006"},
        {homePage("1.0.6.7 beta"), "0001.0000.0006.0007"},
        {homePage(" 1.2.3"), ""},
        {homePage("1.2."), ""},
        {"1.0.6.0.1", ""}, // shorter than ten characters
        // Without a marker, or without a Helvetica after it, the scan starts at character 11.
        {"0123456789"
         "2.4.6 and more",
         "0002.0004.0006"},
        {"abcdefghij3.3.3 >version<</td><td>1.0.6", "0003.0003.0003"},
        {"Helvetica\">9.9.9 <td>>version<</td>", ""},
    };
    for (const auto& [page, version] : cases)
        EXPECT_EQ(versionFromPageText(page), QString::fromLatin1(version)) << page.toStdString();
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(VersionFromPageText, nothingBeyondCharacter32767CountsAsFound)
{
    RecordingMessages boxes;
    const auto padTo = [](qsizetype length) {
        return QStringLiteral("abcdefghij7.7.7 ").leftJustified(length, 'x');
    };
    EXPECT_EQ(versionFromPageText(padTo(32000) + homePage("1.2.3")), QStringLiteral("0001.0002.0003"));
    EXPECT_EQ(versionFromPageText(padTo(32767) + homePage("1.2.3")), QStringLiteral("0007.0007.0007"));
    // A marker at 32767 counts, the Helvetica after it does not: the scan starts on the marker.
    const QString fromMarker = homePage("1.2.3").mid(homePage("").indexOf(QStringLiteral(">Version<")));
    EXPECT_EQ(versionFromPageText(padTo(32766) + fromMarker), QString());
    // A Helvetica beyond the limit leaves the position at the marker.
    EXPECT_EQ(versionFromPageText(QStringLiteral(">version<xx4.5.6 ").leftJustified(40000, 'x') +
                                  "Helvetica\">1.2.3<"),
              QStringLiteral("0004.0005.0006"));

    // The scan takes character 32767 and stops.
    const QString start = homePage("").left(homePage("").indexOf(QStringLiteral("</font>")));
    const QString version = versionFromPageText(start + "1." + QString(40000, '1'));
    EXPECT_EQ(version.size(), QStringLiteral("0001.").size() + (32767 - (start.size() + 2)));
}

TEST(DecideUpdate, comparesFieldsAsNumbersWithMissingFieldsAsZero)
{
    const std::tuple<const char*, const char*, UpdateOutcome> cases[] = {
        {"1.0.6", "1.0.6", UpdateOutcome::UpToDate},
        {"1.0.6", "1.0.10", UpdateOutcome::NewerAvailable},
        {"1.0.6", "0.99.99", UpdateOutcome::UpToDate},
        {"1.0.6", "1.1.0", UpdateOutcome::NewerAvailable},
        {"1.0.2000", "1.0.12345", UpdateOutcome::NewerAvailable},
        {"1.0.12345", "1.0.2000", UpdateOutcome::UpToDate},
        {"1.0.99999999999999999999", "1.0.99999999999999999998", UpdateOutcome::UpToDate},
        {"1.0.6", "1.0.6.1", UpdateOutcome::NewerAvailable},
        {"1.0.6", "1.0.6.", UpdateOutcome::UpToDate},
        {"1.0.6", "1..7", UpdateOutcome::NewerAvailable},
    };
    for (auto [own, web, outcome] : cases)
        EXPECT_EQ(decideUpdate(PadVersionString(own), PadVersionString(web)), outcome)
            << own << " vs " << web;
    EXPECT_EQ(decideUpdate(PadVersionString("1.0.6"), QString()), UpdateOutcome::NoVersion);
}
