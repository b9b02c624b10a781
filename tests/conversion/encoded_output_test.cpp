// The output names that get a codec's frames, a law without a header or a 16 kHz WAV file.
#include "conversion/encoded_output.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(EncodedOutput, encodedNamesAreKnownByTheirLastExtensionInAnyAsciiCase)
{
    const struct
    {
        const char* name;
        const char* extension; // empty: not an encoded output
        bool headerless;
    } cases[] = {
        {"msg.gsm", ".gsm", true},      {"/tmp/a.b/MSG.GSM", ".gsm", true},
        {"msg.g729", ".g729", true},    {"msg.G722", ".g722", true},
        {"msg.wav16", ".wav16", false}, {"msg.PCMU", ".pcmu", true},
        {"msg.pcma", ".pcma", true},    {"msg.wav", "", false},
        {"msg.ulaw", "", false},        {"msg.sln16", "", false},
        {"msg.gsm.wav", "", false},     {"dir.gsm/msg.wav", "", false},
        {"msg.g7222", "", false},       {"msgpcmu.wav", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto kind = encodedKindOf(QString::fromUtf8(c.name));
        EXPECT_EQ(kind ? kind->extension.toStdString() : std::string(), c.extension);
        if (kind) {
            EXPECT_EQ(kind->headerless, c.headerless);
        }
    }
}
