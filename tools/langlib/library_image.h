#pragma once

// Lays out a language library: a resource-only PE32+ DLL that holds one string table.

#include "string_table_source.h"

#include <string>

namespace quillfen::langlib {

// The bytes of the DLL for `table`. Throws strtab::SourceError, naming `fileName` and the line of
// the offending entry, for a text longer than a block's length word can count.
std::string buildLibraryImage(const strtab::Table& table, const std::string& fileName);

} // namespace quillfen::langlib
