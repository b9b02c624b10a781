#include "conversion/phone_systems.h"
#include "platform/app_error.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

// "path encoding rate level" per file, or the error's text.
QStringList files(const QString& system, const FormatChoice& choice = {})
{
    try {
        QStringList out;
        const SystemLayout layout = layoutFor(system, choice);
        for (const SystemFile& f : layout.files)
            out << QStringLiteral("%1 %2 %3 %4%5")
                       .arg(f.pathFor("greeting"), encodingKeyword(f.format.encoding))
                       .arg(f.format.sampleRate)
                       .arg(levelText(f.format.levelTenths), f.afterJoin == AfterJoin::G722 ? " g722" : "");
        return out;
    } catch (const AppError& e) {
        return {e.description};
    }
}

} // namespace

TEST(PhoneSystems, eachSystemGetsTheFilesAndFormatsItPlays)
{
    const struct
    {
        const char* system;
        FormatChoice choice;
        QStringList expected;
    } cases[] = {
        {"asterisk",
         {},
         {"greeting.ulaw ulaw 8000 -10.0", "greeting.alaw alaw 8000 -10.0", "greeting.sln pcm16 8000 -10.0",
          "greeting.sln16 pcm16 16000 -10.0", "greeting.g722 pcm16 16000 -10.0 g722"}},
        {"freeswitch", {}, {"8000/greeting.wav pcm16 8000 -10.0", "16000/greeting.wav pcm16 16000 -10.0"}},
        {"freeswitch", {std::nullopt, 48000, -150}, {"48000/greeting.wav pcm16 48000 -15.0"}},
        {"cisco", {}, {"greeting.wav ulaw 8000 -10.0"}},
        {"avaya", {Encoding::Alaw, std::nullopt, std::nullopt}, {"greeting.wav alaw 8000 -10.0"}},
        {"teams", {std::nullopt, 16000, std::nullopt}, {"greeting.wav pcm16 16000 -10.0"}},
        {"3cx", {}, {"greeting.wav pcm16 8000 -10.0"}},
        {"wav", {}, {"greeting.wav pcm16 8000 -10.0"}},
        {"wav", {Encoding::Ulaw, 48000, -60}, {"greeting.wav ulaw 48000 -6.0"}},
        // What a system fixes cannot be asked otherwise.
        {"cisco", {Encoding::Pcm16, std::nullopt, std::nullopt}, {"cisco takes no pcm16"}},
        {"3cx", {std::nullopt, 16000, std::nullopt}, {"3cx takes 8000 Hz; --rate 16000 contradicts it"}},
        {"asterisk",
         {Encoding::Ulaw, std::nullopt, std::nullopt},
         {"asterisk takes a file in each of its formats (.ulaw, .alaw, .sln, .sln16, .g722); --encoding and "
          "--rate do not apply"}},
        {"freeswitch",
         {Encoding::Ulaw, std::nullopt, std::nullopt},
         {"freeswitch takes pcm16; --encoding ulaw contradicts it"}},
        {"Asterisk",
         {},
         {"unknown system \"Asterisk\"; the systems are asterisk, freeswitch, cisco, avaya, "
          "teams, 3cx, wav"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(files(c.system, c.choice), c.expected) << c.system;
    EXPECT_EQ(layoutFor("teams", {}).maxFileBytes, 5 * 1024 * 1024);
    EXPECT_EQ(layoutFor("cisco", {}).maxFileBytes, 0);
}
