#pragma once

// The program's own texts, compiled in from the string-table source under resources/.
namespace quillfen::detail {

struct OwnStringEntry
{
    int id;
    const char* utf8;
    int size; // bytes; texts may hold NUL
};

extern const OwnStringEntry kOwnStrings[];
extern const int kOwnStringCount;

} // namespace quillfen::detail
