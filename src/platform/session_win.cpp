// The Windows session services: GetSystemMetrics itself, "c:\TTYOutput.wav" as the default output,
// and the registry for the settings.
#include "platform/session.h"
#include "platform/settings_format.h"

#include <windows.h>

namespace quillfen {
namespace {
bool g_remoteForTesting = false;
} // namespace

int GetSystemMetrics(int index)
{
    if (index == SystemMetric::RemoteSession && g_remoteForTesting)
        return 1;
    return ::GetSystemMetrics(index);
}

void setRemoteSessionForTesting(bool remote)
{
    g_remoteForTesting = remote;
}

QString defaultOutputFileName()
{
    return QStringLiteral("c:\\TTYOutput.wav");
}

QSettings::Format settingsFormat()
{
    return QSettings::NativeFormat;
}

} // namespace quillfen
