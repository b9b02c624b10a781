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
}
