#pragma once

#include <stdexcept>
#include <string>

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

} // namespace wavcat
