#pragma once

// Small fakes and helpers shared by the tests: message boxes that record, diagnostics that collect
// lines, files read and written whole, programs run to their end.
#include "conversion/diagnostic_sink.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <functional>
#include <map>

namespace quillfen::testing {

class RecordingMessages final : public Messages
{
public:
    RecordingMessages() { setMessages(this); }
    ~RecordingMessages() override { setMessages(nullptr); }
    MessageResult show(const QString& text, MessageButtons, const QString& title) override
    {
        texts << text;
        titles << title;
        return answer;
    }
    QStringList texts;
    QStringList titles;
    MessageResult answer = MessageResult::Ok;
};

class LineCollector final : public DiagnosticSink
{
public:
    void clearDiagnostics() override
    {
        lines.clear();
        ++clears;
    }
    void DiagOutput(const QString& line) override { lines << line; }
    QStringList lines;
    int clears = 0;
};

// Polls `condition` while processing events, for at most `ms`; the caller asserts on the result.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// The whole file; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every entry below `dir` with its bytes ("<dir>" for a folder), hidden ones too; empty when `dir`
// is not there.
inline std::map<QString, QByteArray> folderSnapshot(const QString& dir)
{
    std::map<QString, QByteArray> all;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        all[QDir(dir).relativeFilePath(path)] =
            QFileInfo(path).isFile() ? fileBytes(path) : QByteArray("<dir>");
    }
    return all;
}

struct Ran
{
    int exitCode = -1; // -1: it did not end by itself
    QString out, err;
};

// Runs `program` to its end with `input` on its standard input, in `workDir` (empty: this one).
inline Ran runProgram(const QString& program, const QStringList& args, const QByteArray& input = {},
                      const QString& workDir = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        p.kill();
    p.waitForFinished();
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    QString err = QString::fromUtf8(p.readAllStandardError());
#ifdef Q_OS_WIN
    // The C runtime there ends text lines with CR LF; the words are what the tests compare.
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    err.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, out, err};
}

} // namespace quillfen::testing
