// The language-library reader on any bytes: work bounded by the image, ids within 16 bits, and
// every table it reads comes back whole through langlib's writer.
#include "fuzz_check.h"
#include "library_image.h"
#include "pe/pe_resources.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillfen;
    const auto tables = pe::readStringTables({reinterpret_cast<const char*>(data), size});
    if (!tables)
        return 0;
    std::size_t units = 0;
    for (const auto& [language, texts] : *tables) {
        strtab::Table table;
        table.langId = language;
        for (const auto& [id, text] : texts) {
            FUZZ_CHECK(id <= 0xFFFF);
            units += text.size();
            table.entries.push_back({std::int32_t(id), text, 1, {}});
        }
        if (texts.empty())
            continue; // a language of empty strings only has nothing a writer would write
        const auto again = pe::readStringTables(langlib::buildLibraryImage(table, "fuzz.rc"));
        FUZZ_CHECK(again && again->size() == 1 && again->begin()->first == language);
        FUZZ_CHECK(again->begin()->second == texts);
    }
    // Every string read is charged to the image's size and 64 KiB of zero-filled section tail.
    FUZZ_CHECK(units * 2 <= size + 64 * 1024);
    return 0;
}
