// Language libraries: what langlib writes, what the reader accepts, and what it must refuse.
#include "library_image.h"
#include "localization/language_library.h"
#include "pe/pe_resources.h"

#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

using quillfen::LanguageLibraryFile;

namespace {

const std::string kFixtureDir = QUILLFEN_TEST_SOURCE_DIR "/tests/localization/fixtures/";

std::string build(const std::string& source)
{
    return quillfen::langlib::buildLibraryImage(quillfen::strtab::parseSource(source, "t.rc"), "t.rc");
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t getLe(std::string_view s, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

// Two blocks (ids 1 and 17) in US English: the base that the malformed variants below change.
const std::string kSmall = build("LANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n 1, \"one\"\n 17, \"seventeen\"\nEND\n");
constexpr std::size_t kRsrc = 0x200; // file offset of the resource section langlib writes
constexpr std::size_t kOpt = 0x58;   // optional header
constexpr std::size_t kSec = 0x148;  // section table

// Positions inside a tree langlib wrote, found by following it rather than assumed: the type
// directory, and the language directory and data entry of the block at `index`.
std::size_t typeDir(const std::string& img)
{
    return kRsrc + (getLe(img, kRsrc + 20, 4) & 0x7FFFFFFF);
}
std::size_t languageDir(const std::string& img, int index)
{
    return kRsrc + (getLe(img, typeDir(img) + 20 + 8 * index, 4) & 0x7FFFFFFF);
}
std::size_t dataEntry(const std::string& img, int index)
{
    return kRsrc + getLe(img, languageDir(img, index) + 20, 4);
}
const std::size_t kTypeDir = typeDir(kSmall);
const std::size_t kBlock2Data = dataEntry(kSmall, 1);

std::string patched(std::string_view image, std::size_t at, std::uint32_t value, int bytes = 4)
{
    const char le[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return std::string(image).replace(at, std::size_t(bytes), le, std::size_t(bytes));
}

} // namespace

TEST(LanguageLibraryWriter, roundTripKeepsEveryStringAcrossBlocks)
{
    const auto lib = LanguageLibraryFile::fromBytes(
        build("LANGUAGE 0x07, 0x01\nSTRINGTABLE\nBEGIN\n 65535, \"last\"\n 0, \"zero\"\n 15, \"fifteen\"\n"
              " 16, \"sixteen\"\n 3, \"\"\n 4000, \"" +
              std::string(1500, 'q') +
              "\"\n 41, \"say \"\"hi\"\" a\\\\b\\tc\\r\\nd \xC3\xA9 \xF0\x9F\x98\x80\"\nEND\n"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->languages(), std::vector<std::uint16_t>{0x0407});
    EXPECT_EQ(lib->string(16, 0x0407), u"sixteen");
    EXPECT_EQ(lib->string(65535, 0x0407), u"last");
    EXPECT_EQ(lib->string(4000, 0x0407), std::u16string(1500, u'q'));
    EXPECT_EQ(lib->string(41, 0x0407), u"say \"hi\" a\\b\tc\r\nd \u00e9 \U0001F600");
    for (std::int64_t absent : {3LL, 17LL, -1LL, 65536LL})
        EXPECT_EQ(lib->string(absent, 0x0407), u"") << absent;
    EXPECT_EQ(lib->strings(0x0407).size(), 6u); // the empty string is not held
}

TEST(LanguageLibraryWriter, headersAreWhatAWindowsLoaderChecks)
{
    // {file offset, bytes, value}: signatures, machine, magic, alignments, the resource directory, .rsrc
    const std::tuple<std::size_t, int, std::uint32_t> fields[] = {
        {0, 2, 0x5A4D},         {0x3C, 4, 0x40},           {0x40, 4, 0x4550},       {0x44, 2, 0x8664},
        {0x56, 2, 0x2022},      {kOpt, 2, 0x20B},          {kOpt + 32, 4, 0x1000},  {kOpt + 36, 4, 0x200},
        {kOpt + 70, 2, 0x160},  {kOpt + 108, 4, 16},       {kOpt + 128, 4, 0x1000}, {kSec, 4, 0x7273722E},
        {kSec + 12, 4, 0x1000}, {kSec + 36, 4, 0x40000040}};
    for (const auto& [at, bytes, value] : fields)
        EXPECT_EQ(getLe(kSmall, at, bytes), value) << "at 0x" << std::hex << at;
    const std::uint32_t virtualSize = getLe(kSmall, kSec + 8, 4);
    EXPECT_EQ(getLe(kSmall, kOpt + 132, 4), virtualSize); // the resource directory covers the section
    EXPECT_EQ(kSmall.size(), kRsrc + getLe(kSmall, kSec + 16, 4));
    EXPECT_GE(getLe(kSmall, kOpt + 56, 4), 0x1000 + virtualSize); // SizeOfImage

    // The checksum agrees with an independent linker's, and is stored for the finished file.
    const std::string mingw = readFile(kFixtureDir + "mingw_strings.dll");
    EXPECT_EQ(quillfen::pe::imageChecksum(mingw, 0x80 + 0x18 + 64), getLe(mingw, 0x80 + 0x18 + 64, 4));
    EXPECT_EQ(quillfen::pe::imageChecksum(kSmall, kOpt + 64), getLe(kSmall, kOpt + 64, 4));
    EXPECT_NE(getLe(kSmall, kOpt + 64, 4), 0u);
}

TEST(LanguageLibraryReader, readsALibraryFromAnotherResourceCompiler)
{
    const auto lib = LanguageLibraryFile::load(kFixtureDir + "mingw_strings.dll");
    ASSERT_TRUE(lib);
    // The RCDATA and named-type resources in it are in other languages; they are not string blocks.
    EXPECT_EQ(lib->languages(), std::vector<std::uint16_t>{0x0407});
    EXPECT_EQ(lib->string(1, 0x0407), u"Gr\u00f6\u00dfe: \"gro\u00df\"");
    EXPECT_EQ(lib->string(40, 0x0407), u"\u00dcbersetzung \u2013 \u7ffb\u8a33 \U0001F600");
    EXPECT_EQ(lib->string(40, 0x0409), lib->string(40, 0x0407)); // the only language serves any
    const auto ours = LanguageLibraryFile::fromBytes(build(readFile(kFixtureDir + "mingw_strings.rc")));
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->strings(0x0407), lib->strings(0x0407));

    // As a 32-bit resource compiler lays it out: a PE32 optional header, 16 bytes shorter (the
    // stack and heap sizes are 4 bytes wide), so its directories and the section table move up.
    std::string pe32 = patched(patched(patched(kSmall, 0x44, 0x14C, 2), 0x54, 224, 2), kOpt, 0x10B, 2);
    pe32.replace(kOpt + 96, 128 + 40, kSmall.substr(kOpt + 112, 128 + 40));
    pe32.replace(kOpt + 264, 16, 16, '\0');
    pe32 = patched(pe32, kOpt + 92, 16);
    const auto library32 = LanguageLibraryFile::fromBytes(pe32);
    ASSERT_TRUE(library32);
    EXPECT_EQ(library32->string(17, 0x0409), u"seventeen");
    EXPECT_EQ(library32->strings(0x0409), LanguageLibraryFile::fromBytes(kSmall)->strings(0x0409));
}

TEST(LanguageLibraryReader, refusesMalformedFiles)
{
    ASSERT_TRUE(LanguageLibraryFile::fromBytes(kSmall));
    const auto patched = [](std::size_t at, std::uint32_t value, int bytes = 4) {
        return ::patched(kSmall, at, value, bytes);
    };
    // Only block 2 (ids 16 to 31), whose last string ends where the block does.
    const std::string lastInBlock = build("LANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n 31, \"last\"\nEND\n");
    const std::uint32_t sectionEnd = 0x1000 + getLe(kSmall, kSec + 8, 4);
    // A second section over the first one's zero-filled end, in a table that has room for it.
    const std::string overlapping = ::patched(
        ::patched(::patched(patched(0x46, 2, 2), kSec + 40 + 8, 0x100), kSec + 40 + 12, sectionEnd - 8),
        kSec + 40 + 36, 0x40000040);
    const std::pair<const char*, std::string> bad[] = {
        {"empty", ""},
        {"not PE", "This is a text file, not a library.\n" + std::string(600, ' ')},
        {"e_lfanew past end", patched(0x3C, kSmall.size() - 8)},
        {"e_lfanew wraps", patched(0x3C, 0xFFFFFFFE)},
        {"unknown magic", patched(kOpt, 0x10C, 2)},
        {"resources outside sections", patched(kOpt + 128, 0x9000)},
        {"root points at itself", patched(kRsrc + 20, 0x80000000)},
        {"block points at its type", patched(kTypeDir + 20, 0x80000000 | (kTypeDir - kRsrc))},
        {"huge entry counts", patched(kRsrc + 12, 0xFFFFFFFF)},
        {"directory offset past end", patched(kTypeDir + 20, 0x8FFFFFF0)},
        {"data RVA past end", patched(kBlock2Data, 0xFFFFFFF0)},
        {"block cut short", patched(kBlock2Data + 4, getLe(kSmall, kBlock2Data + 4, 4) - 2)},
        {"block past its section", patched(kBlock2Data + 4, 0x10000)},
        {"string past its block", ::patched(lastInBlock, dataEntry(lastInBlock, 0) + 4,
                                            getLe(lastInBlock, dataEntry(lastInBlock, 0) + 4, 4) - 2)},
        {"overlapping sections", overlapping},
        {"block 1 twice", patched(kTypeDir + 24, 1)}};
    for (const auto& [what, bytes] : bad)
        EXPECT_FALSE(LanguageLibraryFile::fromBytes(bytes)) << what;

    // Copies of exact size, so that an overrun shows under a sanitizer.
    for (std::size_t length = 0; length < kSmall.size(); ++length)
        EXPECT_FALSE(LanguageLibraryFile::fromBytes(std::string(kSmall, 0, length))) << length;
}

TEST(LanguageLibraryReader, choosesTheLanguageAskedForThenNeutralThenUsEnglish)
{
    // kSmall with its second block (id 17) in another language: one block each.
    const std::size_t block2Language = languageDir(kSmall, 1) + 16;
    const auto german = LanguageLibraryFile::fromBytes(patched(kSmall, block2Language, 0x0407));
    const auto neutral = LanguageLibraryFile::fromBytes(patched(kSmall, block2Language, 0x0000));
    ASSERT_TRUE(german && neutral);
    EXPECT_EQ(german->languages(), (std::vector<std::uint16_t>{0x0407, 0x0409}));
    const std::tuple<const LanguageLibraryFile*, std::int64_t, std::uint16_t, std::u16string> cases[] = {
        {&*german, 17, 0x0407, u"seventeen"},  {&*german, 1, 0x0407, u""}, // no fallback per string
        {&*german, 1, 0x0409, u"one"},         {&*german, 1, 0x040C, u"one"},
        {&*neutral, 17, 0x040C, u"seventeen"}, {&*neutral, 1, 0x0409, u"one"},
    };
    for (const auto& [lib, id, language, text] : cases)
        EXPECT_EQ(lib->string(id, language), text) << id << " in 0x" << std::hex << language;
}
