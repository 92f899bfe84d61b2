#include "ui/dialog_units.h"

#include <QStringList>

// The dialogs' own fonts; the stand-in only where they are missing (Wine).
QFont DialogFont(const char* windowsFamily, int pointSize) {
    QFont font;
    font.setFamilies({QString::fromUtf8(windowsFamily), QString::fromLatin1(kStandInFamily)});
    font.setPointSize(pointSize);
    return font;
}
