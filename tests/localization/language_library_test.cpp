// Language libraries: what langlib writes, what the reader accepts, and what it must refuse.
#include "library_image.h"
#include "localization/language_library.h"
#include "pe_test_image.h"
#include "platform/pe_resources.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h> // mkfifo
#include <unistd.h>   // getpid

using quillfen::LanguageLibraryFile;
using namespace quillfen::testing;

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

// Two blocks (ids 1 and 17) in US English: the base that the malformed variants below change.
const std::string kSmall = build("LANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n 1, \"one\"\n 17, \"seventeen\"\nEND\n");
constexpr std::size_t kRsrc = 0x200; // file offset of the resource section langlib writes

// Positions inside kSmall's tree, found by following it rather than assumed.
std::size_t typeDirAt(const std::string& img)
{
    return kRsrc + (getLe(img, kRsrc + 20, 4) & 0x7FFFFFFF);
}
std::size_t langDirAt(const std::string& img, int block)
{
    return kRsrc + (getLe(img, typeDirAt(img) + 20 + 8 * block, 4) & 0x7FFFFFFF);
}
std::size_t dataEntryAt(const std::string& img, int block)
{
    return kRsrc + getLe(img, langDirAt(img, block) + 20, 4);
}

} // namespace

TEST(LanguageLibraryWriter, roundTripKeepsEveryStringAcrossBlocks)
{
    const std::u16string longText = [] {
        std::u16string s;
        for (int i = 0; i < 1500; ++i)
            s += static_cast<char16_t>(u'a' + i % 26);
        return s;
    }();
    const std::string source = "LANGUAGE 0x07, 0x01\nSTRINGTABLE\nBEGIN\n"
                               " 65535, \"last\"\n 0, \"zero\"\n 15, \"fifteen\"\n 16, \"sixteen\"\n"
                               " 3, \"\"\n 4000, \"" +
                               std::string(longText.begin(), longText.end()) +
                               "\"\n"
                               " 41, \"say \"\"hi\"\" a\\\\b\\tc\\r\\nd \xC3\xA9 \xF0\x9F\x98\x80\"\n"
                               "END\n";
    const auto lib = LanguageLibraryFile::fromBytes(build(source));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->languages(), std::vector<std::uint16_t>{0x0407});
    EXPECT_EQ(lib->string(0, 0x0407), u"zero");
    EXPECT_EQ(lib->string(15, 0x0407), u"fifteen");
    EXPECT_EQ(lib->string(16, 0x0407), u"sixteen");
    EXPECT_EQ(lib->string(65535, 0x0407), u"last");
    EXPECT_EQ(lib->string(4000, 0x0407), longText);
    EXPECT_EQ(lib->string(41, 0x0407), u"say \"hi\" a\\b\tc\r\nd \u00e9 \U0001F600");
    for (std::int64_t absent : {1LL, 3LL, 14LL, 17LL, 65534LL, -1LL, 65536LL, 0x100000000LL})
        EXPECT_EQ(lib->string(absent, 0x0407), u"") << absent;

    std::vector<std::uint32_t> ids;
    for (const auto& [id, text] : lib->strings(0x0407))
        ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 15, 16, 41, 4000, 65535}));
}

TEST(LanguageLibraryWriter, stringLengthIsLimitedByTheLengthWord)
{
    auto source = [](std::size_t units) {
        return "STRINGTABLE\nBEGIN\n 1, \"a\"\n\n 2, \"" + std::string(units, 'x') + "\"\nEND\n";
    };
    const auto lib = LanguageLibraryFile::fromBytes(build(source(65535)));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->string(2, 0x0409).size(), 65535u);
    try {
        build(source(65536));
        ADD_FAILURE() << "a string of 65536 units was written";
    } catch (const quillfen::strtab::SourceError& e) {
        EXPECT_EQ(e.line(), 5);
        EXPECT_EQ(std::string(e.what()).rfind("t.rc:5: ", 0), 0u) << e.what();
    }
}

TEST(LanguageLibraryWriter, headersAreWhatAWindowsLoaderChecks)
{
    const std::string& img = kSmall;
    auto u16 = [&](std::size_t at) { return getLe(img, at, 2); };
    auto u32 = [&](std::size_t at) { return getLe(img, at, 4); };
    EXPECT_EQ(img.substr(0, 2), "MZ");
    EXPECT_EQ(u32(0x3C), 0x40u);
    EXPECT_EQ(img.substr(0x40, 4), std::string("PE\0\0", 4));
    EXPECT_EQ(u16(0x44), 0x8664u); // Machine
    EXPECT_EQ(u16(0x46), 1u);      // NumberOfSections
    EXPECT_EQ(u16(0x54), 240u);    // SizeOfOptionalHeader
    EXPECT_EQ(u16(0x56), 0x2022u); // Characteristics
    const std::size_t opt = 0x58;
    EXPECT_EQ(u16(opt), 0x20Bu);
    EXPECT_EQ(getLe(img, opt + 24, 4) | std::uint64_t{getLe(img, opt + 28, 4)} << 32, 0x180000000u);
    EXPECT_EQ(u32(opt + 32), 0x1000u); // SectionAlignment
    EXPECT_EQ(u32(opt + 36), 0x200u);  // FileAlignment
    EXPECT_EQ(u16(opt + 40), 6u);      // MajorOperatingSystemVersion
    EXPECT_EQ(u16(opt + 48), 6u);      // MajorSubsystemVersion
    EXPECT_EQ(u32(opt + 60), 0x200u);  // SizeOfHeaders
    EXPECT_EQ(u16(opt + 68), 2u);      // Subsystem
    EXPECT_EQ(u16(opt + 70), 0x160u);  // DllCharacteristics
    EXPECT_EQ(u32(opt + 108), 16u);    // NumberOfRvaAndSizes
    EXPECT_EQ(u32(opt + 112 + 16), 0x1000u);

    const std::size_t sec = opt + 240;
    const std::uint32_t virtualSize = u32(sec + 8);
    EXPECT_EQ(img.substr(sec, 8), std::string(".rsrc\0\0\0", 8));
    EXPECT_EQ(u32(sec + 12), 0x1000u);
    EXPECT_EQ(u32(sec + 20), 0x200u);
    EXPECT_EQ(u32(sec + 36), 0x40000040u);
    EXPECT_EQ(u32(opt + 112 + 20), virtualSize); // the resource directory covers the section
    EXPECT_EQ(u32(sec + 16) % 0x200, 0u);
    EXPECT_GE(u32(sec + 16), virtualSize);
    EXPECT_EQ(img.size(), 0x200 + u32(sec + 16));
    EXPECT_EQ(u32(opt + 56) % 0x1000, 0u); // SizeOfImage
    EXPECT_GE(u32(opt + 56), 0x1000 + virtualSize);

    // Block ids ascending, each with one language entry whose data offset is an RVA into .rsrc.
    EXPECT_EQ(u16(typeDirAt(img) + 14), 2u);
    EXPECT_EQ(u32(typeDirAt(img) + 16), 1u);
    EXPECT_EQ(u32(typeDirAt(img) + 24), 2u);
    EXPECT_EQ(u32(langDirAt(img, 1) + 16), 0x0409u);
    const std::uint32_t dataRva = u32(dataEntryAt(img, 1));
    EXPECT_EQ(dataRva % 4, 0u);
    EXPECT_EQ(u16(dataRva - 0x1000 + kRsrc + 2), 9u); // block 2: id 16 empty, then "seventeen"
}

// ld computes the checksum a Windows loader verifies; ours must agree on its output, and langlib
// must store the value for the finished file.
TEST(LanguageLibraryWriter, checksumMatchesAnIndependentLinker)
{
    const std::string mingw = readFile(kFixtureDir + "mingw_strings.dll");
    ASSERT_EQ(mingw.size(), 3072u);
    const std::size_t checkSumAt = 0x80 + 0x18 + 64; // this fixture's e_lfanew is 0x80
    ASSERT_EQ(getLe(mingw, 0x3C, 4), 0x80u);
    EXPECT_EQ(quillfen::pe::imageChecksum(mingw, checkSumAt), getLe(mingw, checkSumAt, 4));
    EXPECT_EQ(quillfen::pe::imageChecksum(kSmall, 0x58 + 64), getLe(kSmall, 0x58 + 64, 4));
    EXPECT_NE(getLe(kSmall, 0x58 + 64, 4), 0u);
}

TEST(LanguageLibraryReader, readsALibraryFromAnotherResourceCompiler)
{
    const auto lib = LanguageLibraryFile::load(kFixtureDir + "mingw_strings.dll");
    ASSERT_TRUE(lib);
    // The RCDATA and named-type resources in it are in other languages; they are not string blocks.
    EXPECT_EQ(lib->languages(), std::vector<std::uint16_t>{0x0407});
    EXPECT_EQ(lib->string(1, 0x0407), u"Gr\u00f6\u00dfe: \"gro\u00df\"");
    EXPECT_EQ(lib->string(16, 0x0407), u"Anfang\tdes zweiten");
    EXPECT_EQ(lib->string(40, 0x0407), u"\u00dcbersetzung \u2013 \u7ffb\u8a33 \U0001F600");
    EXPECT_EQ(lib->string(2, 0x0407), u"");

    // langlib reads the same source into the same strings.
    const auto ours = LanguageLibraryFile::fromBytes(build(readFile(kFixtureDir + "mingw_strings.rc")));
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->strings(0x0407), lib->strings(0x0407));
    EXPECT_EQ(ours->strings(0x0407).size(), 6u);
}

TEST(LanguageLibraryReader, readsPe32WithSeveralSectionsAndAZeroFilledTail)
{
    // The resource section is second, and its raw data stops 6 bytes short: the last two length
    // words of the last block lie in the zero-filled part that only VirtualSize covers.
    const std::string rsrc = stringResources(0x3000, {{1, 0x0407, {u"", u"eins"}}, {2, 0x0407, {u"x"}}});
    ASSERT_EQ(rsrc.substr(rsrc.size() - 6), std::string(6, '\0'));
    const std::string raw = rsrc.substr(0, rsrc.size() - 6);
    const std::string image = peImage(
        false, {{std::string(0x200, '\xCC'), 0x1000, 0x1800}, {raw, 0x3000, std::uint32_t(rsrc.size())}},
        0x3000, std::uint32_t(rsrc.size()));
    const auto lib = LanguageLibraryFile::fromBytes(image);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->string(1, 0x0407), u"eins");
    EXPECT_EQ(lib->string(16, 0x0407), u"x");

    // Without VirtualSize reaching further, the same block is cut short.
    const std::string cut = peImage(false, {{raw, 0x3000, 0}}, 0x3000, 1);
    EXPECT_FALSE(LanguageLibraryFile::fromBytes(cut));
}

TEST(LanguageLibraryReader, choosesExactThenNeutralThenUsEnglishThenFirst)
{
    auto library = [](std::vector<std::uint16_t> langs) {
        std::vector<StringBlock> blocks;
        for (std::uint16_t lang : langs)
            blocks.push_back({1, lang, {u"", u"text " + std::u16string(1, u'0' + lang % 16)}});
        blocks.push_back({2, langs.front(), {u"only in the first"}});
        const std::string rsrc = stringResources(0x1000, blocks);
        return LanguageLibraryFile::fromBytes(peImage(true, {{rsrc, 0x1000, std::uint32_t(rsrc.size())}},
                                                      0x1000, std::uint32_t(rsrc.size())))
            .value();
    };
    const auto all = library({0x0407, 0x0409, 0x0000}); // texts "text 7", "text 9", "text 0"
    EXPECT_EQ(all.languages(), (std::vector<std::uint16_t>{0x0000, 0x0407, 0x0409}));
    EXPECT_EQ(all.string(1, 0x0407), u"text 7");
    EXPECT_EQ(all.string(1, 0x040C), u"text 0");
    EXPECT_EQ(all.string(16, 0x0407), u"only in the first"); // one language for the whole lookup
    EXPECT_EQ(all.string(16, 0x0409), u"");
    EXPECT_EQ(all.strings(0x0411).size(), 1u);
    EXPECT_EQ(library({0x0407, 0x0409}).string(1, 0x040C), u"text 9");
    EXPECT_EQ(library({0x040C, 0x0407}).string(1, 0x0410), u"text 7"); // lowest present
}

TEST(LanguageLibraryReader, refusesMalformedFiles)
{
    ASSERT_TRUE(LanguageLibraryFile::fromBytes(kSmall));
    auto patched = [](auto change) {
        std::string img = kSmall;
        change(img);
        return img;
    };
    const std::pair<const char*, std::string> bad[] = {
        {"empty", ""},
        {"not PE", "This is a text file, not a library.\n" + std::string(200, ' ')},
        {"no PE signature", patched([](std::string& s) { s.replace(0x40, 4, std::string("NE\0\0", 4)); })},
        {"e_lfanew past end", patched([](std::string& s) { putLe(s, 0x3C, s.size() - 8, 4); })},
        {"e_lfanew wraps", patched([](std::string& s) { putLe(s, 0x3C, 0xFFFFFFFE, 4); })},
        {"unknown magic", patched([](std::string& s) { putLe(s, 0x58, 0x10C, 2); })},
        {"2 data directories", patched([](std::string& s) { putLe(s, 0x58 + 108, 2, 4); })},
        {"optional header too small", patched([](std::string& s) { putLe(s, 0x54, 112 + 16, 2); })},
        {"no resource directory", patched([](std::string& s) { putLe(s, 0x58 + 128, 0, 4); })},
        {"resources outside sections", patched([](std::string& s) { putLe(s, 0x58 + 128, 0x9000, 4); })},
        {"65535 sections", patched([](std::string& s) { putLe(s, 0x46, 0xFFFF, 2); })},
        {"overlapping sections", patched([](std::string& s) {
             putLe(s, 0x46, 2, 2);
             s.replace(0x170, 40, s.substr(0x148, 40));
             putLe(s, 0x170 + 12, 0x1010, 4);
         })},
        {"raw data past end", patched([](std::string& s) { putLe(s, 0x148 + 16, 0x10000, 4); })},
        {"raw pointer wraps", patched([](std::string& s) { putLe(s, 0x148 + 20, 0xFFFFFF00, 4); })},
        {"root points at itself", patched([](std::string& s) { putLe(s, kRsrc + 20, 0x80000000, 4); })},
        {"block points at its type", patched([](std::string& s) {
             putLe(s, typeDirAt(s) + 20, 0x80000000 | (typeDirAt(s) - kRsrc), 4);
         })},
        {"block is data",
         patched([](std::string& s) { putLe(s, typeDirAt(s) + 20, dataEntryAt(s, 0) - kRsrc, 4); })},
        {"RT_STRING is data", patched([](std::string& s) { putLe(s, kRsrc + 20, typeDirAt(s) - kRsrc, 4); })},
        {"language is a directory", patched([](std::string& s) { putLe(s, langDirAt(s, 0) + 23, 0x80, 1); })},
        {"huge entry counts", patched([](std::string& s) {
             putLe(s, kRsrc + 12, 0xFFFF, 2);
             putLe(s, kRsrc + 14, 0xFFFF, 2);
         })},
        // The entries fall in zero-filled space, but cost more than an honest tree of this size.
        {"huge counts, zero-filled entries", patched([](std::string& s) {
             putLe(s, 0x148 + 8, 0x10000000, 4);
             putLe(s, kRsrc + 12, 0xFFFF, 2);
             putLe(s, kRsrc + 14, 0xFFFF, 2);
         })},
        {"directory offset past end",
         patched([](std::string& s) { putLe(s, typeDirAt(s) + 20, 0x8FFFFFF0, 4); })},
        {"data entry past end",
         patched([](std::string& s) { putLe(s, langDirAt(s, 0) + 20, 0x7FFFFFF0, 4); })},
        {"data RVA past end", patched([](std::string& s) { putLe(s, dataEntryAt(s, 1), 0xFFFFFFF0, 4); })},
        {"data size past end", patched([](std::string& s) { putLe(s, dataEntryAt(s, 1) + 4, 0x10000, 4); })},
        {"block cut short", patched([](std::string& s) {
             putLe(s, dataEntryAt(s, 1) + 4, getLe(s, dataEntryAt(s, 1) + 4, 4) - 2, 4);
         })},
        {"block listed twice", patched([](std::string& s) { putLe(s, typeDirAt(s) + 24, 1, 4); })},
    };
    for (const auto& [what, bytes] : bad)
        EXPECT_FALSE(LanguageLibraryFile::fromBytes(bytes)) << what;

    // Copies of exact size, so that an overrun shows under a sanitizer.
    for (std::size_t length = 0; length < kSmall.size(); ++length)
        EXPECT_FALSE(LanguageLibraryFile::fromBytes(std::string(kSmall, 0, length))) << length;
}

// Random damage must never crash the reader, and whatever it accepts must stay within the format.
TEST(LanguageLibraryReader, randomDamageIsRefusedOrReadSanely)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string img = kSmall;
        for (int flips = 1 + round % 4; flips > 0; --flips)
            img[std::uniform_int_distribution<std::size_t>(0, 0x300)(rng)] ^=
                static_cast<char>(1 << std::uniform_int_distribution<int>(0, 7)(rng));
        const auto lib = LanguageLibraryFile::fromBytes(img);
        if (!lib)
            continue;
        for (std::uint16_t lang : lib->languages())
            for (const auto& [id, text] : lib->strings(lang)) {
                ASSERT_LE(id, 0xFFFFu);
                ASSERT_FALSE(text.empty());
                ASSERT_EQ(lib->string(id, lang), text);
            }
    }
}

TEST(LanguageLibraryReader, loadRefusesWhatIsNotARegularLibraryFile)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("langlib-load-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "fifo.dll").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LanguageLibraryFile::load(fifo)); // must not block waiting for a writer
    EXPECT_FALSE(LanguageLibraryFile::load((dir / "missing.dll").string()));
    EXPECT_FALSE(LanguageLibraryFile::load(dir.string()));
    EXPECT_FALSE(LanguageLibraryFile::load(kFixtureDir + "mingw_strings.rc"));
    std::filesystem::remove_all(dir);
}
