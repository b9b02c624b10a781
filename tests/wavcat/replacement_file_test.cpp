// The replacement file in-process, with the named temporary that file systems without unnamed files
// get, which a process test cannot reach.
#include "replacement_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using wavcat::ReplacementFile;

namespace {

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(ReplacementFile, theTargetChangesOnlyOnCommitAndNoTemporaryStays)
{
    const fs::path dir = fs::temp_directory_path() / ("replacement-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path target = dir / "out.wav";
    for (const auto kind : {ReplacementFile::Temporary::Unnamed, ReplacementFile::Temporary::Named}) {
        for (const bool commit : {false, true}) {
            std::ofstream(target) << "earlier";
            {
                ReplacementFile file(target.string(), kind);
                ASSERT_EQ(::write(file.fd(), "new", 3), 3);
                if (commit)
                    file.commit();
            }
            EXPECT_EQ(contents(target), commit ? "new" : "earlier") << int(kind);
            EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << int(kind);
        }
    }
    fs::remove_all(dir);
}
