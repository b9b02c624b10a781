#include "conversion/diagnostic_output.h"

#include <gtest/gtest.h>

using namespace quillfen;

// Each line is appended with CR LF and nothing else changes; WriteDiagnostic goes to the main
// window's text the same way.
TEST(DiagnosticText, eachLineIsAppendedWithCrLfHereAndThroughWriteDiagnostic)
{
    DiagnosticText direct;
    mainDiagnostics().clearDiagnostics();
    for (const char* line : {"a", "", "x\r\ny  "}) {
        direct.DiagOutput(line);
        WriteDiagnostic(line);
    }
    EXPECT_EQ(direct.text(), QStringLiteral("a\r\n\r\nx\r\ny  \r\n"));
    EXPECT_EQ(mainDiagnostics().text(), direct.text());
    direct.clearDiagnostics();
    EXPECT_TRUE(direct.text().isEmpty());
}
