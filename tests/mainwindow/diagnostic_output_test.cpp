#include "mainwindow/diagnostic_output.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quillfen;

TEST(DiagnosticText, eachLineIsAppendedWithCrLfAndNothingElseChanges)
{
    DiagnosticText d;
    EXPECT_TRUE(d.text().isEmpty());
    d.DiagOutput("a");
    d.DiagOutput("b");
    EXPECT_EQ(d.text(), QStringLiteral("a\r\nb\r\n"));
    d.DiagOutput("");
    EXPECT_EQ(d.text(), QStringLiteral("a\r\nb\r\n\r\n"));
    d.DiagOutput("x\r\ny  ");
    EXPECT_EQ(d.text(), QStringLiteral("a\r\nb\r\n\r\nx\r\ny  \r\n"));
    d.clearDiagnostics();
    EXPECT_TRUE(d.text().isEmpty());
}

TEST(DiagnosticText, largeTextsAreKeptWhole)
{
    DiagnosticText d;
    const QString big(100000, QLatin1Char('Z'));
    for (int i = 0; i < 50; ++i)
        d.DiagOutput(big);
    EXPECT_EQ(d.text().size(), 50 * (big.size() + 2));
}

TEST(DiagnosticText, theWindowSeesEveryChange)
{
    DiagnosticText d;
    QStringList seen;
    d.setChangedCallback([&](const QString& t) { seen << t; });
    d.DiagOutput("one");
    d.clearDiagnostics();
    EXPECT_EQ(seen, (QStringList{"one\r\n", ""}));
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
