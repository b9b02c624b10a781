#pragma once

// The parts of the PE image format that language libraries use: header layouts as field offsets
// (the bytes are read and written explicitly, so nothing depends on struct packing or host byte
// order), and a bounds-checked reader of RT_STRING resources. Std only: shared by the program's
// reader and the langlib build tool, and nothing else crosses between the two.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillfen::pe {

// DOS header
inline constexpr std::uint16_t kDosMagic = 0x5A4D; // "MZ"
inline constexpr std::size_t kDosHeaderSize = 0x40;
inline constexpr std::size_t kDosLfanew = 0x3C;

// "PE\0\0", then the COFF file header
inline constexpr std::uint32_t kPeSignature = 0x00004550;
inline constexpr std::size_t kPeSignatureSize = 4;
namespace coff {
inline constexpr std::size_t kMachine = 0;
inline constexpr std::size_t kNumberOfSections = 2;
inline constexpr std::size_t kTimeDateStamp = 4;
inline constexpr std::size_t kSizeOfOptionalHeader = 16;
inline constexpr std::size_t kCharacteristics = 18;
inline constexpr std::size_t kSize = 20;

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kExecutableImage = 0x0002;
inline constexpr std::uint16_t kLargeAddressAware = 0x0020;
inline constexpr std::uint16_t kDll = 0x2000;
} // namespace coff

// Optional header. Offsets up to kDllCharacteristics are the same in PE32 and PE32+; after it
// the stack and heap sizes are 4 bytes wide in PE32 and 8 in PE32+.
namespace opt {
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;

inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kMajorLinkerVersion = 2;
inline constexpr std::size_t kSizeOfInitializedData = 8;
inline constexpr std::size_t kImageBase64 = 24; // PE32+ only
inline constexpr std::size_t kSectionAlignment = 32;
inline constexpr std::size_t kFileAlignment = 36;
inline constexpr std::size_t kMajorOsVersion = 40;
inline constexpr std::size_t kMajorSubsystemVersion = 48;
inline constexpr std::size_t kSizeOfImage = 56;
inline constexpr std::size_t kSizeOfHeaders = 60;
inline constexpr std::size_t kCheckSum = 64;
inline constexpr std::size_t kSubsystem = 68;
inline constexpr std::size_t kDllCharacteristics = 70;
inline constexpr std::size_t kSizeOfStackReserve = 72;

inline constexpr std::size_t kNumberOfRvaAndSizes32 = 92;
inline constexpr std::size_t kDataDirectories32 = 96;
inline constexpr std::size_t kNumberOfRvaAndSizes64 = 108;
inline constexpr std::size_t kDataDirectories64 = 112;

inline constexpr std::uint32_t kDirectoryCount = 16;
inline constexpr std::size_t kDirectorySize = 8; // RVA, size
inline constexpr std::uint32_t kResourceDirectory = 2;
inline constexpr std::size_t kSizePe32Plus = kDataDirectories64 + kDirectoryCount * kDirectorySize; // 240

inline constexpr std::uint16_t kSubsystemWindowsGui = 2;
inline constexpr std::uint16_t kHighEntropyVa = 0x0020;
inline constexpr std::uint16_t kDynamicBase = 0x0040;
inline constexpr std::uint16_t kNxCompat = 0x0100;
} // namespace opt

// Section header
namespace section {
inline constexpr std::size_t kName = 0;
inline constexpr std::size_t kNameSize = 8;
inline constexpr std::size_t kVirtualSize = 8;
inline constexpr std::size_t kVirtualAddress = 12;
inline constexpr std::size_t kSizeOfRawData = 16;
inline constexpr std::size_t kPointerToRawData = 20;
inline constexpr std::size_t kCharacteristics = 36;
inline constexpr std::size_t kSize = 40;

inline constexpr std::uint32_t kInitializedData = 0x00000040;
inline constexpr std::uint32_t kMemRead = 0x40000000;
} // namespace section

// Resource tree. Offsets inside it are relative to the start of the resource directory, except
// a data entry's kDataRva, which is an RVA.
namespace rsrc {
inline constexpr std::size_t kNumberOfNamedEntries = 12;
inline constexpr std::size_t kNumberOfIdEntries = 14;
inline constexpr std::size_t kDirectorySize = 16;

inline constexpr std::size_t kEntryName = 0;
inline constexpr std::size_t kEntryOffset = 4;
inline constexpr std::size_t kEntrySize = 8;
inline constexpr std::uint32_t kNameIsString = 0x80000000;
inline constexpr std::uint32_t kIsSubdirectory = 0x80000000;

inline constexpr std::size_t kDataRva = 0;
inline constexpr std::size_t kDataSize = 4;
inline constexpr std::size_t kDataEntrySize = 16;

inline constexpr std::uint32_t kTypeString = 6; // RT_STRING
inline constexpr std::uint32_t kStringsPerBlock = 16;
inline constexpr std::uint32_t kMaxStringUnits = 0xFFFF; // the length is one WORD

// Strings of id `id` live in block (id >> 4) + 1 at position id & 15.
constexpr std::uint32_t blockOf(std::uint32_t id)
{
    return (id >> 4) + 1;
}
} // namespace rsrc

// Little-endian access. The readers assume the caller has checked the bounds.
inline std::uint16_t get16(std::string_view b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}
inline std::uint32_t get32(std::string_view b, std::size_t at)
{
    return get16(b, at) | static_cast<std::uint32_t>(get16(b, at + 2)) << 16;
}
inline void put16(std::string& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void put64(std::string& b, std::size_t at, std::uint64_t v)
{
    put32(b, at, static_cast<std::uint32_t>(v & 0xFFFFFFFF));
    put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

// The image checksum a Windows loader verifies for drivers and boot images: the one's-complement
// style sum of the file's 16-bit words with the checksum field taken as zero, plus the file length.
inline std::uint32_t imageChecksum(std::string_view image, std::size_t checkSumOffset)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2) {
        auto byte = [&](std::size_t k) -> std::uint32_t {
            bool inField = k >= checkSumOffset && k < checkSumOffset + 4;
            return k < image.size() && !inField ? static_cast<unsigned char>(image[k]) : 0;
        };
        sum += byte(i) | byte(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + image.size());
}

// Language -> string id -> text. Only non-empty texts are listed; a language whose blocks hold
// nothing but empty strings is still present, with no texts.
using StringTables = std::map<std::uint16_t, std::map<std::uint32_t, std::u16string>>;

// The RT_STRING resources of a PE32 or PE32+ image. nullopt when the image or its resource tree
// is malformed in any way; every offset and length is checked, and the work done is bounded by
// the size of the image, whatever the tree claims.
std::optional<StringTables> readStringTables(std::string_view image);

} // namespace quillfen::pe
