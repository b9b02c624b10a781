#include "platform/session.h"
#include "platform/settings_format.h"

#include <QDir>

namespace quillfen {
namespace {
bool g_remoteForTesting = false;
} // namespace

int GetSystemMetrics(int index)
{
    return index == SystemMetric::RemoteSession && g_remoteForTesting ? 1 : 0;
}

void setRemoteSessionForTesting(bool remote)
{
    g_remoteForTesting = remote;
}

QString defaultOutputFileName()
{
    return QDir::homePath() + QStringLiteral("/TTYOutput.wav");
}

QSettings::Format settingsFormat()
{
    return QSettings::IniFormat;
}

} // namespace quillfen
