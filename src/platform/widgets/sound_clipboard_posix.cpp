#include "platform/widgets/sound_clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace quillfen {
namespace {

// What we last put on the clipboard, while it is there: the clipboard owns and deletes it.
QPointer<QMimeData>& ourCopy()
{
    static QPointer<QMimeData> copy;
    return copy;
}

} // namespace

void dropOurSoundCopy()
{
    if (ourCopy())
        QApplication::clipboard()->clear();
}

QString copySoundToClipboard(QWidget*, const QByteArray& wave, const QString& path)
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("audio/wav"), wave);
    data->setData(QStringLiteral("audio/x-wav"), wave);
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    ourCopy() = data;
    QApplication::clipboard()->setMimeData(data);
    return {};
}

} // namespace quillfen
