#include "update/update_check.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(PadVersionString, zeroFillsFieldsByValueAndRefusesShortTexts)
{
    quillfen::testing::RecordingMessages boxes;
    const std::pair<const char*, const char*> cases[] = {
        {"1.0.6", "0001.0000.0006"},
        {"7.007.00012", "0007.0007.0012"},
        {"1.0.12345", "0001.0000.12345"},
        {"1..6", "0001..0006"},
        {"1.0.", "0001.0000."},
        {"1.2", ""},
        {"", ""},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(PadVersionString(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(DecideUpdate, comparesFieldsAsNumbers)
{
    const auto decide = [](const char* own, const char* web) {
        return decideUpdate(PadVersionString(own), PadVersionString(web));
    };
    EXPECT_EQ(decide("1.0.2000", "1.0.12345"), UpdateOutcome::NewerAvailable);
    EXPECT_EQ(decide("1.0.12345", "1.0.2000"), UpdateOutcome::UpToDate);
    EXPECT_EQ(decide("1.0.6", "1.0.6.1"), UpdateOutcome::NewerAvailable);
    EXPECT_EQ(decide("1.0.6.1", "1.0.6"), UpdateOutcome::UpToDate);
    EXPECT_EQ(decide("1.0.6", "1.0.6"), UpdateOutcome::UpToDate);
    EXPECT_EQ(decide("1.0.6", "1..6"), UpdateOutcome::UpToDate); // an empty field counts as 0
}

namespace {

// ">version<", then "Helvetica" at the 1-based page position `at` and the version 11 further on.
QString pageWithVersionAt(qsizetype at, const QString& version)
{
    const QString marker = ">version<";
    return marker + QString(at - 1 - marker.size(), 'x') + "Helvetica\">" + version + "</font>";
}

} // namespace

TEST(VersionFromPageText, keepsATrailingPeriodAndHoldsToSixteenBitPositions)
{
    quillfen::testing::RecordingMessages boxes;
    // "Helvetica" is looked for from the marker on. Without the marker, or with it beyond position
    // 32767, it is not looked for at all and the version is read at position 11.
    const QString early = "xxxxxxxxxx9.9.9";
    const QString later = ">version<Helvetica\">1.2.3</font>";
    const struct
    {
        QString page;
        const char* padded;
        UpdateOutcome against106;
    } cases[] = {
        {pageWithVersionAt(100, "9.9."), "0009.0009.", UpdateOutcome::NewerAvailable},
        {pageWithVersionAt(100, "1.2."), "0001.0002.", UpdateOutcome::NewerAvailable},
        {pageWithVersionAt(100, "2003."), "2003.", UpdateOutcome::NewerAvailable},
        {pageWithVersionAt(100, "1.0.6."), "0001.0000.0006.", UpdateOutcome::NewerAvailable},
        {pageWithVersionAt(100, "1.2"), "", UpdateOutcome::NoVersion},
        // The scan stops at position 32767, and a version that would start beyond it is not read.
        {pageWithVersionAt(32749, "1.1.1.1.1.1.1"), "0001.0001.0001.0001.", UpdateOutcome::NewerAvailable},
        {pageWithVersionAt(32757, "1.2.3"), "", UpdateOutcome::NoVersion},
        {early + " face=\"Helvetica\">1.2.3</font>", "0009.0009.0009", UpdateOutcome::NewerAvailable},
        {"Helvetica\">9.9.9" + later, "0001.0002.0003", UpdateOutcome::NewerAvailable},
        {early + QString(32768 - 1 - early.size(), 'x') + later, "0009.0009.0009",
         UpdateOutcome::NewerAvailable},
        // A marker at 32767 is found, and nothing after it fits: the '>' at 32767 is read.
        {early + QString(32767 - 1 - early.size(), 'x') + later, "", UpdateOutcome::NoVersion},
    };
    for (const auto& c : cases) {
        const QString padded = versionFromPageText(c.page);
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        EXPECT_EQ(padded, QString::fromLatin1(c.padded));
        EXPECT_EQ(decideUpdate(PadVersionString("1.0.6"), padded), c.against106);
    }
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}
