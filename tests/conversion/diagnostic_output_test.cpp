#include "conversion/diagnostic_output.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(DiagnosticText, eachLineIsAppendedWithCrLfAndNothingElseChanges)
{
    DiagnosticText d;
    d.DiagOutput("a");
    d.DiagOutput("");
    d.DiagOutput("x\r\ny  ");
    EXPECT_EQ(d.text(), QStringLiteral("a\r\n\r\nx\r\ny  \r\n"));
    d.clearDiagnostics();
    EXPECT_TRUE(d.text().isEmpty());
}

TEST(WriteDiagnostic, givesTheSameTextAsDiagOutputOnTheMainWindow)
{
    DiagnosticText direct;
    direct.DiagOutput("line\r\nwith break");
    direct.DiagOutput("");
    mainDiagnostics().clearDiagnostics();
    WriteDiagnostic("line\r\nwith break");
    WriteDiagnostic("");
    EXPECT_EQ(mainDiagnostics().text(), direct.text());
}
