// The Windows process layer: CreateProcessW with a hidden window, OpenProcess + WaitForSingleObject,
// SetPriorityClass, GetExitCodeProcess, TerminateProcess and GetProcessIoCounters.
#include "platform/process.h"

#include "platform/app_error.h"
#include "platform/system_message.h"

#include <QDir>
#include <QFileInfo>

#include <io.h>
#include <map>
#include <mutex>
#include <vector>
#include <windows.h>

namespace quillfen {
namespace {

// Descriptors made from handles are only ever turned back into their handle (by us or by
// libsndfile), never read through the runtime: no mode flags, and no <fcntl.h> for them.
constexpr int kHandleOnly = 0;

bool isKnownClass(std::int32_t priorityClass)
{
    switch (priorityClass) {
    case Priority::Idle:
    case Priority::BelowNormal:
    case Priority::Normal:
    case Priority::AboveNormal:
    case Priority::High:
    case Priority::Realtime:
        return true;
    default:
        return false;
    }
}

// The handles of the children we started, kept until their end is collected: like an unreaped
// child on POSIX, they keep the exit code readable and the process id from being reused meanwhile.
struct Children
{
    std::mutex lock;
    std::map<std::int64_t, HANDLE> handles;
};

Children& children()
{
    static Children c;
    return c;
}

// A handle to wait on `pid`: our own child's, else one opened now (closed by the caller: `owned`).
HANDLE processHandle(std::int64_t pid, DWORD access, bool& owned)
{
    {
        Children& c = children();
        const std::scoped_lock hold(c.lock);
        if (auto it = c.handles.find(pid); it != c.handles.end()) {
            owned = false;
            return it->second;
        }
    }
    owned = true;
    return ::OpenProcess(access, FALSE, DWORD(pid));
}

// Blocks on `pid` at most `timeoutMs` (negative: no limit); the result of WaitForSingleObject, or
// WAIT_FAILED with the process gone when it cannot be opened.
DWORD waitOn(std::int64_t pid, std::int32_t timeoutMs, bool& gone)
{
    gone = false;
    if (pid <= 0 || pid > std::int64_t(MAXDWORD)) {
        gone = true;
        return WAIT_FAILED;
    }
    bool owned = false;
    const HANDLE h = processHandle(pid, SYNCHRONIZE, owned);
    if (!h) {
        gone = ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
        return WAIT_FAILED;
    }
    const DWORD r = ::WaitForSingleObject(h, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    if (owned)
        ::CloseHandle(h);
    return r;
}

// One argument as the C runtime's command-line parser reads it back: quoted when it holds blanks
// or quotes or is empty, backslashes doubled only before a quote.
std::wstring quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t ch : arg) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += ch;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

HANDLE openNul(DWORD access)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                         nullptr);
}

} // namespace

std::int16_t SetPriority(std::int32_t priorityClass)
{
    if (!isKnownClass(priorityClass))
        return 0;
    // Without the privilege, the real-time class quietly becomes high: only the class asked for counts.
    const HANDLE self = ::GetCurrentProcess();
    return ::SetPriorityClass(self, DWORD(priorityClass)) && ::GetPriorityClass(self) == DWORD(priorityClass)
               ? -1
               : 0;
}

void keepFreedMemory()
{
    // The process heap keeps freed blocks for reuse already.
}

std::int16_t WaitForProcess(std::int64_t pid, std::int32_t timeoutMs)
{
    bool gone = false;
    const DWORD r = waitOn(pid, timeoutMs, gone);
    return r == WAIT_OBJECT_0 || r == WAIT_TIMEOUT ? -1 : 0;
}

bool waitForProcessEnd(std::int64_t pid, std::int32_t timeoutMs)
{
    bool gone = false;
    const DWORD r = waitOn(pid, timeoutMs, gone);
    // A process we may not watch cannot be waited for either: as on POSIX, that counts as ended.
    return r != WAIT_TIMEOUT;
}

bool terminateProcess(std::int64_t pid)
{
    if (pid <= 0 || pid > std::int64_t(MAXDWORD))
        return false;
    // Console programs started without a console of their own have no window to close and no
    // console to send Ctrl+C to: the request is TerminateProcess, and what the child left half
    // written is its replacement file's temporary, which the system deletes with it.
    bool owned = false;
    const HANDLE h = processHandle(pid, PROCESS_TERMINATE, owned);
    if (!h)
        return false;
    const bool ok = ::TerminateProcess(h, 1) != 0;
    if (owned)
        ::CloseHandle(h);
    return ok;
}

std::optional<std::int64_t> processBytesWritten(std::int64_t pid)
{
    if (pid <= 0 || pid > std::int64_t(MAXDWORD))
        return std::nullopt;
    bool owned = false;
    const HANDLE h = processHandle(pid, PROCESS_QUERY_LIMITED_INFORMATION, owned);
    if (!h)
        return std::nullopt;
    IO_COUNTERS io{};
    const bool ok = ::GetProcessIoCounters(h, &io) != 0;
    if (owned)
        ::CloseHandle(h);
    if (!ok)
        return std::nullopt;
    return std::int64_t(io.WriteTransferCount);
}

ChildLog::ChildLog()
{
    // Deleted by the system when the last handle goes, ours or the child's, however either ends.
    const QString dir = QDir::toNativeSeparators(QDir::tempPath());
    wchar_t name[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(reinterpret_cast<const wchar_t*>(dir.utf16()), L"qfc", 0, name)) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        const HANDLE h = ::CreateFileW(
            name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_handle = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), kHandleOnly);
            if (m_handle < 0)
                ::CloseHandle(h);
        } else {
            ::DeleteFileW(name);
        }
    }
    if (m_handle < 0)
        throw AppError::make(AppError::PathFileAccessError, QDir::tempPath(),
                             QStringLiteral("cannot create a temporary file there: ") +
                                 systemMessage(::GetLastError()));
}

ChildLog::~ChildLog()
{
    ::_close(m_handle);
}

QString ChildLog::text() const
{
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(m_handle));
    QByteArray bytes(4096, Qt::Uninitialized);
    OVERLAPPED at{}; // from the start, wherever the child's writes left the file position
    DWORD n = 0;
    if (!::ReadFile(h, bytes.data(), DWORD(bytes.size()), &n, &at))
        n = 0;
    bytes.resize(qsizetype(n));
    return QString::fromUtf8(bytes)
        .replace(QLatin1Char('\r'), QLatin1Char('\n'))
        .trimmed()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .join(QStringLiteral("; "));
}

std::int64_t startProcessHidden(const QString& program, const QStringList& arguments,
                                const QString& workingDirectory, const ChildLog* errors)
{
    if (program.isEmpty())
        throw AppError::make(AppError::FileNotFound, QStringLiteral("program name is empty"));

    const QString native = QDir::toNativeSeparators(program);
    std::wstring commandLine = quoted(native.toStdWString());
    for (const QString& a : arguments)
        commandLine += L' ' + quoted(a.toStdWString());

    const HANDLE input = openNul(GENERIC_READ);
    const HANDLE output = openNul(GENERIC_WRITE);
    HANDLE errorOut = errors ? reinterpret_cast<HANDLE>(::_get_osfhandle(errors->handle())) : output;
    bool errorInheritable = true;
    if (errors) {
        DWORD flags = 0;
        ::GetHandleInformation(errorOut, &flags);
        errorInheritable = (flags & HANDLE_FLAG_INHERIT) != 0;
        ::SetHandleInformation(errorOut, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }

    // Only these three handles go to the child, not whatever else happens to be inheritable.
    std::vector<HANDLE> inherited{input, output};
    if (errorOut != output)
        inherited.push_back(errorOut);
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributeStorage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStorage.data());
    const bool listed =
        ::InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
        ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                    inherited.size() * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = listed ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = errorOut;
    startup.lpAttributeList = listed ? attributes : nullptr;

    const std::wstring dir = QDir::toNativeSeparators(workingDirectory).toStdWString();
    PROCESS_INFORMATION started{};
    const BOOL ok = ::CreateProcessW(
        reinterpret_cast<const wchar_t*>(native.utf16()), commandLine.data(), nullptr, nullptr, TRUE,
        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr,
        workingDirectory.isEmpty() ? nullptr : dir.c_str(), &startup.StartupInfo, &started);
    const DWORD error = ::GetLastError();
    if (listed)
        ::DeleteProcThreadAttributeList(attributes);
    if (errors && !errorInheritable)
        ::SetHandleInformation(errorOut, HANDLE_FLAG_INHERIT, 0);
    ::CloseHandle(input);
    ::CloseHandle(output);
    if (!ok) {
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            throw AppError::make(AppError::FileNotFound, program, systemMessage(error));
        case ERROR_ACCESS_DENIED:
            throw AppError::make(AppError::PermissionDenied, program, systemMessage(error));
        default:
            throw AppError::make(AppError::InvalidProcedureCall, program, systemMessage(error));
        }
    }
    ::CloseHandle(started.hThread);
    Children& c = children();
    const std::scoped_lock hold(c.lock);
    c.handles[std::int64_t(started.dwProcessId)] = started.hProcess;
    return std::int64_t(started.dwProcessId);
}

std::optional<ProcessExit> reapChild(std::int64_t pid)
{
    HANDLE h = nullptr;
    {
        Children& c = children();
        const std::scoped_lock hold(c.lock);
        const auto it = c.handles.find(pid);
        if (it == c.handles.end())
            return std::nullopt;
        h = it->second;
        c.handles.erase(it);
    }
    DWORD code = 0;
    const bool ended = ::WaitForSingleObject(h, INFINITE) == WAIT_OBJECT_0 && ::GetExitCodeProcess(h, &code);
    ::CloseHandle(h);
    if (!ended)
        return std::nullopt;
    // Windows has no signals: every end is an exit with a code, TerminateProcess's included.
    return ProcessExit{true, int(code)};
}

} // namespace quillfen
