#include "library_image.h"

#include "pe/pe_resources.h"

#include <algorithm>
#include <array>
#include <map>

namespace quillfen::langlib {
namespace {

using namespace quillfen::pe;

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kSizeOfHeaders = 0x200;
constexpr std::uint32_t kResourceRva = 0x1000;
constexpr std::uint64_t kImageBase = 0x180000000; // the usual base of 64-bit DLLs
constexpr std::uint32_t kPeHeaderAt = kDosHeaderSize;
// Keeps every RVA and file offset well inside 32 bits, whatever a reader does with them.
constexpr std::uint64_t kMaxResourceSize = 0x7FFF0000;

constexpr std::uint64_t alignUp(std::uint64_t v, std::uint64_t a)
{
    return (v + a - 1) / a * a;
}

struct Block
{
    std::array<const std::u16string*, rsrc::kStringsPerBlock> texts{};
    int line = 0;         // of its first entry, for the size error
    std::uint64_t at = 0; // data offset within the resource section
    std::uint64_t size = 0;
};

// The .rsrc section: root -> RT_STRING -> one directory per block -> one language -> data entry,
// then the block data. Directories first, so every table stays at a small, fixed offset.
std::string resourceSection(std::map<std::uint32_t, Block>& blocks, std::uint16_t langId,
                            const std::string& fileName)
{
    const std::uint64_t n = blocks.size();
    const std::uint64_t typeDirAt = rsrc::kDirectorySize + (n ? rsrc::kEntrySize : 0);
    const std::uint64_t langDirsAt = typeDirAt + rsrc::kDirectorySize + n * rsrc::kEntrySize;
    const std::uint64_t langDirSize = rsrc::kDirectorySize + rsrc::kEntrySize;
    const std::uint64_t dataEntriesAt = langDirsAt + n * langDirSize;
    std::uint64_t end = dataEntriesAt + n * rsrc::kDataEntrySize;
    for (auto& [id, block] : blocks) {
        block.at = alignUp(end, 8);
        block.size = 0;
        for (const std::u16string* text : block.texts)
            block.size += 2 + (text ? text->size() * 2 : 0);
        end = block.at + block.size;
        if (end > kMaxResourceSize)
            throw strtab::SourceError(fileName, block.line, "the strings do not fit in one library");
    }

    std::string s(end, '\0');
    auto directory = [&](std::uint64_t at, std::uint16_t idEntries) {
        put16(s, at + rsrc::kNumberOfIdEntries, idEntries);
    };
    auto entry = [&](std::uint64_t at, std::uint32_t id, std::uint32_t offset) {
        put32(s, at + rsrc::kEntryName, id);
        put32(s, at + rsrc::kEntryOffset, offset);
    };
    directory(0, n ? 1 : 0);
    if (n)
        entry(rsrc::kDirectorySize, rsrc::kTypeString,
              static_cast<std::uint32_t>(typeDirAt) | rsrc::kIsSubdirectory);
    directory(typeDirAt, static_cast<std::uint16_t>(n));

    std::uint64_t i = 0;
    for (const auto& [id, block] : blocks) { // std::map: ascending ids, as a loader's binary search needs
        const std::uint64_t langDirAt = langDirsAt + i * langDirSize;
        const std::uint64_t dataEntryAt = dataEntriesAt + i * rsrc::kDataEntrySize;
        entry(typeDirAt + rsrc::kDirectorySize + i * rsrc::kEntrySize, id,
              static_cast<std::uint32_t>(langDirAt) | rsrc::kIsSubdirectory);
        directory(langDirAt, 1);
        entry(langDirAt + rsrc::kDirectorySize, langId, static_cast<std::uint32_t>(dataEntryAt));
        put32(s, dataEntryAt + rsrc::kDataRva, static_cast<std::uint32_t>(kResourceRva + block.at));
        put32(s, dataEntryAt + rsrc::kDataSize, static_cast<std::uint32_t>(block.size));

        std::uint64_t at = block.at;
        for (const std::u16string* text : block.texts) {
            const std::size_t units = text ? text->size() : 0;
            put16(s, at, static_cast<std::uint16_t>(units));
            at += 2;
            for (std::size_t k = 0; k < units; ++k, at += 2)
                put16(s, at, static_cast<std::uint16_t>((*text)[k]));
        }
        ++i;
    }
    return s;
}

} // namespace

std::string buildLibraryImage(const strtab::Table& table, const std::string& fileName)
{
    std::map<std::uint32_t, Block> blocks;
    for (const strtab::Entry& e : table.entries) {
        if (e.text.size() > rsrc::kMaxStringUnits)
            throw strtab::SourceError(fileName, e.line,
                                      "string " + std::to_string(e.id) + " is " +
                                          std::to_string(e.text.size()) +
                                          " UTF-16 units long; a library holds at most 65535");
        Block& block = blocks[rsrc::blockOf(static_cast<std::uint32_t>(e.id))];
        if (block.line == 0)
            block.line = e.line;
        block.texts[static_cast<std::uint32_t>(e.id) % rsrc::kStringsPerBlock] = &e.text;
    }
    const std::string section = resourceSection(blocks, table.langId, fileName);
    const std::uint64_t rawSize = alignUp(section.size(), kFileAlignment);

    std::string image(kSizeOfHeaders + rawSize, '\0');
    put16(image, 0, kDosMagic);
    put32(image, kDosLfanew, kPeHeaderAt);
    put32(image, kPeHeaderAt, kPeSignature);

    const std::size_t coffAt = kPeHeaderAt + kPeSignatureSize;
    put16(image, coffAt + coff::kMachine, coff::kMachineAmd64);
    put16(image, coffAt + coff::kNumberOfSections, 1);
    put16(image, coffAt + coff::kSizeOfOptionalHeader, opt::kSizePe32Plus);
    put16(image, coffAt + coff::kCharacteristics,
          coff::kExecutableImage | coff::kLargeAddressAware | coff::kDll);

    const std::size_t optAt = coffAt + coff::kSize;
    put16(image, optAt + opt::kMagic, opt::kMagicPe32Plus);
    image[optAt + opt::kMajorLinkerVersion] = 1;
    put32(image, optAt + opt::kSizeOfInitializedData, static_cast<std::uint32_t>(rawSize));
    put64(image, optAt + opt::kImageBase64, kImageBase);
    put32(image, optAt + opt::kSectionAlignment, kSectionAlignment);
    put32(image, optAt + opt::kFileAlignment, kFileAlignment);
    put16(image, optAt + opt::kMajorOsVersion, 6);
    put16(image, optAt + opt::kMajorSubsystemVersion, 6);
    put32(image, optAt + opt::kSizeOfImage,
          static_cast<std::uint32_t>(kResourceRva + alignUp(section.size(), kSectionAlignment)));
    put32(image, optAt + opt::kSizeOfHeaders, kSizeOfHeaders);
    put16(image, optAt + opt::kSubsystem, opt::kSubsystemWindowsGui);
    put16(image, optAt + opt::kDllCharacteristics, opt::kHighEntropyVa | opt::kDynamicBase | opt::kNxCompat);
    // Stack and heap reserve and commit: ignored for a DLL, but conventional values keep tools quiet.
    put64(image, optAt + opt::kSizeOfStackReserve, 0x100000);
    put64(image, optAt + opt::kSizeOfStackReserve + 8, 0x1000);
    put64(image, optAt + opt::kSizeOfStackReserve + 16, 0x100000);
    put64(image, optAt + opt::kSizeOfStackReserve + 24, 0x1000);
    put32(image, optAt + opt::kNumberOfRvaAndSizes64, opt::kDirectoryCount);
    const std::size_t resourceDirAt =
        optAt + opt::kDataDirectories64 + opt::kResourceDirectory * opt::kDirectorySize;
    put32(image, resourceDirAt, kResourceRva);
    put32(image, resourceDirAt + 4, static_cast<std::uint32_t>(section.size()));

    const std::size_t sectionAt = optAt + opt::kSizePe32Plus;
    image.replace(sectionAt + section::kName, 5, ".rsrc");
    put32(image, sectionAt + section::kVirtualSize, static_cast<std::uint32_t>(section.size()));
    put32(image, sectionAt + section::kVirtualAddress, kResourceRva);
    put32(image, sectionAt + section::kSizeOfRawData, static_cast<std::uint32_t>(rawSize));
    put32(image, sectionAt + section::kPointerToRawData, kSizeOfHeaders);
    put32(image, sectionAt + section::kCharacteristics, section::kInitializedData | section::kMemRead);

    std::copy(section.begin(), section.end(), image.begin() + kSizeOfHeaders);
    put32(image, optAt + opt::kCheckSum, imageChecksum(image, optAt + opt::kCheckSum));
    return image;
}

} // namespace quillfen::langlib
