#include "ui/app_icon.h"

#include <QFile>

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon loaded;
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QString path = QStringLiteral(":/tarvik/icons/tarvik-%1.png").arg(size);
            if (QFile::exists(path)) {
                loaded.addFile(path, QSize(size, size));
            }
        }
        return loaded;
    }();
    return icon;
}
