#include "pe/pe_resources.h"

#include <algorithm>
#include <set>
#include <vector>

namespace quillfen::pe {
namespace {

struct Section
{
    std::uint64_t va = 0;
    std::uint64_t extent = 0; // bytes mapped at va
    std::uint64_t backed = 0; // of those, how many come from the file; the rest reads as zeros
    std::uint64_t fileOffset = 0;
};

// The image as a loader would map it, reached only through checked reads.
class MappedImage
{
public:
    explicit MappedImage(std::string_view bytes) : m_bytes(bytes) {}

    bool parseHeaders()
    {
        const std::uint64_t size = m_bytes.size();
        if (size < kDosHeaderSize || get16(m_bytes, 0) != kDosMagic)
            return false;
        const std::uint64_t peAt = get32(m_bytes, kDosLfanew);
        const std::uint64_t coffAt = peAt + kPeSignatureSize;
        if (coffAt + coff::kSize > size || get32(m_bytes, peAt) != kPeSignature)
            return false;
        const std::uint64_t sectionCount = get16(m_bytes, coffAt + coff::kNumberOfSections);
        const std::uint64_t optSize = get16(m_bytes, coffAt + coff::kSizeOfOptionalHeader);
        const std::uint64_t optAt = coffAt + coff::kSize;
        if (optSize < 2 || optAt + optSize > size)
            return false;

        std::uint64_t countAt = 0;
        std::uint64_t dirsAt = 0;
        switch (get16(m_bytes, optAt + opt::kMagic)) {
        case opt::kMagicPe32:
            countAt = opt::kNumberOfRvaAndSizes32;
            dirsAt = opt::kDataDirectories32;
            break;
        case opt::kMagicPe32Plus:
            countAt = opt::kNumberOfRvaAndSizes64;
            dirsAt = opt::kDataDirectories64;
            break;
        default:
            return false;
        }
        const std::uint64_t resourceAt = dirsAt + opt::kResourceDirectory * opt::kDirectorySize;
        if (resourceAt + opt::kDirectorySize > optSize ||
            get32(m_bytes, optAt + countAt) <= opt::kResourceDirectory)
            return false;
        m_resourceRva = get32(m_bytes, optAt + resourceAt);
        if (m_resourceRva == 0 || get32(m_bytes, optAt + resourceAt + 4) == 0)
            return false;

        const std::uint64_t tableAt = optAt + optSize;
        if (tableAt + sectionCount * section::kSize > size)
            return false;
        for (std::uint64_t i = 0; i < sectionCount; ++i) {
            const std::uint64_t at = tableAt + i * section::kSize;
            const std::uint64_t virtualSize = get32(m_bytes, at + section::kVirtualSize);
            const std::uint64_t rawSize = get32(m_bytes, at + section::kSizeOfRawData);
            Section s;
            s.va = get32(m_bytes, at + section::kVirtualAddress);
            s.fileOffset = get32(m_bytes, at + section::kPointerToRawData);
            s.extent = virtualSize != 0 ? virtualSize : rawSize;
            s.backed = std::min(rawSize, s.extent);
            // A loader refuses raw data that runs past the end of the file, so do we.
            if ((rawSize != 0 && s.fileOffset + rawSize > size) || s.va + s.extent > 0x100000000)
                return false;
            if (s.extent != 0)
                m_sections.push_back(s);
        }
        std::sort(m_sections.begin(), m_sections.end(),
                  [](const Section& a, const Section& b) { return a.va < b.va; });
        for (std::size_t i = 1; i < m_sections.size(); ++i)
            if (m_sections[i - 1].va + m_sections[i - 1].extent > m_sections[i].va)
                return false;
        return true;
    }

    std::uint64_t resourceRva() const { return m_resourceRva; }

    bool contains(std::uint64_t rva, std::uint64_t length) const { return find(rva, length) != nullptr; }

    // The `length` bytes at `rva`, which must lie within one section.
    std::optional<std::string> read(std::uint64_t rva, std::uint64_t length) const
    {
        const Section* s = find(rva, length);
        if (!s)
            return std::nullopt;
        const std::uint64_t offset = rva - s->va;
        std::string out(length, '\0');
        if (offset < s->backed) {
            const std::uint64_t n = std::min(length, s->backed - offset);
            std::copy_n(m_bytes.data() + s->fileOffset + offset, n, out.data());
        }
        return out;
    }

private:
    const Section* find(std::uint64_t rva, std::uint64_t length) const
    {
        auto next = std::upper_bound(m_sections.begin(), m_sections.end(), rva,
                                     [](std::uint64_t v, const Section& s) { return v < s.va; });
        if (next == m_sections.begin())
            return nullptr;
        const Section& s = *(next - 1);
        const std::uint64_t offset = rva - s.va;
        if (offset > s.extent || length > s.extent - offset)
            return nullptr;
        return &s;
    }

    std::string_view m_bytes;
    std::uint64_t m_resourceRva = 0;
    std::vector<Section> m_sections; // by address, not overlapping
};

struct DirectoryEntry
{
    std::uint32_t id;
    std::uint32_t offset; // from the resource root, without the subdirectory flag
    bool isSubdirectory;
};

// Reads the type/name/language tree at its fixed depth of three, so a tree that points back into
// itself cannot loop. Every byte taken from the tree is charged to a budget of the image's size:
// overlapping or zero-filled structures that claim huge counts cannot make the work grow beyond
// what an honest tree of that size needs.
class StringTreeReader
{
public:
    explicit StringTreeReader(const MappedImage& image, std::uint64_t budget)
        : m_image(image), m_budget(budget)
    {
    }

    std::optional<StringTables> read()
    {
        std::vector<DirectoryEntry> types;
        if (!directory(0, types))
            return std::nullopt;
        bool seenStrings = false;
        for (const DirectoryEntry& type : types) {
            if (type.id != rsrc::kTypeString)
                continue;
            if (seenStrings || !type.isSubdirectory || !blocks(type.offset))
                return std::nullopt;
            seenStrings = true;
        }
        return std::move(m_tables);
    }

private:
    bool charge(std::uint64_t bytes)
    {
        if (bytes > m_budget)
            return false;
        m_budget -= bytes;
        return true;
    }

    // The directory's numeric entries; named ones cannot hold string blocks and are skipped.
    bool directory(std::uint32_t offset, std::vector<DirectoryEntry>& entries)
    {
        const std::uint64_t at = m_image.resourceRva() + offset;
        const auto head = m_image.read(at, rsrc::kDirectorySize);
        if (!head)
            return false;
        const std::uint64_t count =
            std::uint64_t{get16(*head, rsrc::kNumberOfNamedEntries)} + get16(*head, rsrc::kNumberOfIdEntries);
        const std::uint64_t length = count * rsrc::kEntrySize;
        if (!charge(rsrc::kDirectorySize + length))
            return false;
        const auto raw = m_image.read(at + rsrc::kDirectorySize, length);
        if (!raw)
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t name = get32(*raw, i * rsrc::kEntrySize + rsrc::kEntryName);
            const std::uint32_t target = get32(*raw, i * rsrc::kEntrySize + rsrc::kEntryOffset);
            if (name & rsrc::kNameIsString)
                continue;
            entries.push_back({name, target & ~rsrc::kIsSubdirectory, (target & rsrc::kIsSubdirectory) != 0});
        }
        return true;
    }

    bool blocks(std::uint32_t offset)
    {
        std::vector<DirectoryEntry> names;
        if (!directory(offset, names))
            return false;
        for (const DirectoryEntry& name : names) {
            if (!name.isSubdirectory)
                return false;
            // Only blocks 1..4096 can be reached by a string id.
            if (name.id == 0 || name.id > rsrc::blockOf(0xFFFF))
                continue;
            std::vector<DirectoryEntry> languages;
            if (!directory(name.offset, languages))
                return false;
            for (const DirectoryEntry& language : languages)
                if (language.isSubdirectory || language.id > 0xFFFF ||
                    !block(name.id, static_cast<std::uint16_t>(language.id), language.offset))
                    return false;
        }
        return true;
    }

    bool block(std::uint32_t blockId, std::uint16_t langId, std::uint32_t dataEntryOffset)
    {
        if (!m_seenBlocks.insert({langId, blockId}).second || !charge(rsrc::kDataEntrySize))
            return false;
        const auto entry = m_image.read(m_image.resourceRva() + dataEntryOffset, rsrc::kDataEntrySize);
        if (!entry)
            return false;
        const std::uint64_t rva = get32(*entry, rsrc::kDataRva);
        const std::uint64_t size = get32(*entry, rsrc::kDataSize);
        // The block as a whole must be mapped, even where its strings do not reach.
        if (!m_image.contains(rva, size))
            return false;

        auto& texts = m_tables[langId];
        std::uint64_t pos = 0;
        for (std::uint32_t i = 0; i < rsrc::kStringsPerBlock; ++i) {
            if (size - pos < 2 || !charge(2))
                return false;
            const auto lengthWord = m_image.read(rva + pos, 2);
            if (!lengthWord)
                return false;
            const std::uint64_t units = get16(*lengthWord, 0);
            pos += 2;
            if (size - pos < units * 2 || !charge(units * 2))
                return false;
            const auto raw = m_image.read(rva + pos, units * 2);
            if (!raw)
                return false;
            pos += units * 2;
            if (units == 0)
                continue;
            std::u16string text(units, u'\0');
            for (std::uint64_t k = 0; k < units; ++k)
                text[k] = static_cast<char16_t>(get16(*raw, k * 2));
            texts[(blockId - 1) * rsrc::kStringsPerBlock + i] = std::move(text);
        }
        return true;
    }

    const MappedImage& m_image;
    std::uint64_t m_budget;
    std::set<std::pair<std::uint16_t, std::uint32_t>> m_seenBlocks;
    StringTables m_tables;
};

} // namespace

std::optional<StringTables> readStringTables(std::string_view image)
{
    MappedImage mapped(image);
    if (!mapped.parseHeaders())
        return std::nullopt;
    // Honest trees never overlap themselves, so they fit the image; the slack covers string
    // blocks whose trailing empty strings lie in a section's zero-filled tail.
    constexpr std::uint64_t kSlack = std::uint64_t{64} * 1024;
    return StringTreeReader(mapped, image.size() + kSlack).read();
}

} // namespace quillfen::pe
