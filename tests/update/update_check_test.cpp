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
    const struct
    {
        qsizetype at;
        const char* published;
        const char* padded;
        UpdateOutcome against106;
    } cases[] = {
        {100, "9.9.", "0009.0009.", UpdateOutcome::NewerAvailable},
        {100, "1.2.", "0001.0002.", UpdateOutcome::NewerAvailable},
        {100, "2003.", "2003.", UpdateOutcome::NewerAvailable},
        {100, "1.0.6.", "0001.0000.0006.", UpdateOutcome::NewerAvailable},
        {100, "1.2", "", UpdateOutcome::NoVersion},
        // The scan stops at position 32767, and a version that would start beyond it is not read.
        {32749, "1.1.1.1.1.1.1", "0001.0001.0001.0001.", UpdateOutcome::NewerAvailable},
        {32757, "1.2.3", "", UpdateOutcome::NoVersion},
    };
    for (const auto& c : cases) {
        const QString padded = versionFromPageText(pageWithVersionAt(c.at, c.published));
        EXPECT_EQ(padded, QString::fromLatin1(c.padded)) << c.published << " at " << c.at;
        EXPECT_EQ(decideUpdate(PadVersionString("1.0.6"), padded), c.against106) << c.published;
    }
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}
