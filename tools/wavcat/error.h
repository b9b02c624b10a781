#pragma once

#include <sndfile.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace wavcat {

// A failure reported to the user as one line, "wavcat: <what()>", with exit status 1.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline Error cannotRead(const std::string& path, const std::string& reason)
{
    return Error("cannot read '" + path + "': " + reason);
}

inline Error cannotWrite(const std::string& path, const std::string& reason)
{
    return Error("cannot write '" + path + "': " + reason);
}

// libsndfile's texts end in a period and system errors carry a prefix; our messages are one clause.
inline std::string sndfileReason(SNDFILE* file)
{
    std::string text = sf_strerror(file);
    for (std::string_view prefix : {"System error : ", "System error: "}) {
        if (text.starts_with(prefix))
            text.erase(0, prefix.size());
    }
    while (!text.empty() && (text.back() == '.' || text.back() == '\n'))
        text.pop_back();
    return text;
}

} // namespace wavcat
