#include "platform/widgets/program_icon.h"

#include <QImageReader>
#include <QPixmap>

static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace quillfen {

QIcon programIcon()
{
    initIconResources();
    QIcon icon;
    for (const char* name : {":/icons/quillfen_16.png", ":/icons/quillfen_32.png"}) {
        // Read as the PNG it is: guessing the format loads every image format plugin at start-up.
        QImageReader reader(QString::fromLatin1(name), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace quillfen
