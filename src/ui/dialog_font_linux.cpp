#include "ui/dialog_units.h"

#include <QStringList>

// The stand-in first: the system may name some other CJK font after a Windows one, with other
// metrics, and the dialogs' layout follows the metrics.
QFont DialogFont(const char* windowsFamily, int pointSize) {
    QFont font;
    font.setFamilies({QString::fromLatin1(kStandInFamily), QString::fromUtf8(windowsFamily)});
    font.setPointSize(pointSize);
    return font;
}
