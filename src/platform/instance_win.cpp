// The Windows previous-instance test: a named mutex in the session's namespace, which the system
// releases with its process, so a copy that was killed leaves nothing stale behind. Beside it the
// first copy listens on a named pipe; a later copy connects once, allows the first to take the
// foreground (Windows only lets the active program hand it on), and ends.
#include "platform/session.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QStandardPaths>

#include <atomic>
#include <thread>
#include <windows.h>

namespace quillfen {
namespace {

struct Instance
{
    HANDLE mutex = nullptr;
    HANDLE stop = nullptr; // set to end the listening thread
    std::wstring pipeName;
    std::thread listener;
    std::function<void()> handler;

    ~Instance()
    {
        // A program that ends without giving the lock back still ends its listening thread.
        if (listener.joinable()) {
            ::SetEvent(stop);
            listener.join();
        }
    }
};

Instance& instance()
{
    static Instance i;
    return i;
}

// "Local\" keeps the names inside this logon session; the session id keeps the pipe's too, since
// pipes have no session namespace of their own.
std::wstring objectName(const QString& executableName, const wchar_t* what)
{
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return (executableName + QStringLiteral(".instance.%1.").arg(session)).toStdWString() + what;
}

void callHandler()
{
    // On the program's own thread, which owns the windows the handler brings forward.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [] {
                if (instance().handler)
                    instance().handler();
            },
            Qt::QueuedConnection);
}

void listen(std::wstring name, HANDLE stop)
{
    OVERLAPPED connected{};
    connected.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
        const HANDLE pipe =
            ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                               PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 0, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            break;
        ::ResetEvent(connected.hEvent);
        bool asked = ::ConnectNamedPipe(pipe, &connected) ? true : ::GetLastError() == ERROR_PIPE_CONNECTED;
        if (!asked && ::GetLastError() == ERROR_IO_PENDING) {
            const HANDLE events[] = {stop, connected.hEvent};
            const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1) {
                ::CancelIo(pipe);
                ::CloseHandle(pipe);
                break;
            }
            DWORD ignored = 0;
            asked = ::GetOverlappedResult(pipe, &connected, &ignored, FALSE) != 0;
        }
        ::DisconnectNamedPipe(pipe);
        ::CloseHandle(pipe);
        if (asked)
            callHandler();
    }
    ::CloseHandle(connected.hEvent);
}

void askFirstCopyForward(const std::wstring& pipeName)
{
    ::AllowSetForegroundWindow(ASFW_ANY);
    // A first copy busy with its previous caller answers later; this copy ends at once either way.
    const HANDLE pipe = ::CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (pipe != INVALID_HANDLE_VALUE)
        ::CloseHandle(pipe);
}

} // namespace

QString privateInstanceFolder()
{
    // The mutex and the pipe live in the system's per-session namespaces, not in a folder; the
    // user's own local application data stands for "this user's" where a folder is wanted.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool previousInstanceRunning(const QString& executableName)
{
    Instance& i = instance();
    if (i.mutex)
        return false;
    const std::wstring mutexName = L"Local\\" + objectName(executableName, L"mutex");
    const std::wstring pipeName = L"\\\\.\\pipe\\" + objectName(executableName, L"pipe");
    const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, mutexName.c_str());
    // A mutex we cannot make must not keep the program from starting.
    if (!mutex)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        askFirstCopyForward(pipeName);
        return true;
    }
    i.mutex = mutex;
    i.pipeName = pipeName;
    i.stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (i.stop)
        i.listener = std::thread(listen, pipeName, i.stop);
    return false;
}

void releaseInstanceLock()
{
    Instance& i = instance();
    if (i.listener.joinable()) {
        ::SetEvent(i.stop);
        i.listener.join();
    }
    if (i.stop) {
        ::CloseHandle(i.stop);
        i.stop = nullptr;
    }
    if (i.mutex) {
        ::ReleaseMutex(i.mutex);
        ::CloseHandle(i.mutex);
        i.mutex = nullptr;
    }
}

void setActivationHandler(std::function<void()> handler)
{
    instance().handler = std::move(handler);
}

} // namespace quillfen
