#include "platform/files.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(OutputPath, aRelativeNameLiesBesideTheDefaultOutputAndAnAbsoluteOneIsItself)
{
    const struct
    {
        const char* name;
        const char* path;
    } cases[] = {
        {"greeting.wav", "/base/greeting.wav"},
        {"LTRS.wav", "/base/LTRS.wav"},
        {"sub dir/a.wav", "/base/sub dir/a.wav"},
        {"./a.wav", "/base/a.wav"},
        {"~/a.wav", "/home/me/a.wav"},
        {"~x.wav", "/base/~x.wav"},
        {"/tmp/a.wav", "/tmp/a.wav"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(absoluteOutputPath(c.name, "/base", "/home/me"), QString(c.path)) << c.name;
}
