#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace {

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

// Characters the stand-in maps to an empty glyph, and a font that draws them.
constexpr char16_t kBlankInStandIn[] = u"℃";
constexpr char kSymbolFamily[] = "DejaVu Sans";

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return DialogUnits(baseX, metrics.height());
}

int DialogUnits::X(int units) const {
    return MulDiv(units, m_baseX, 4);
}

int DialogUnits::Y(int units) const {
    return MulDiv(units, m_baseY, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

// Harmless where the stand-in is not in use: a font missing from the system is passed over.
QFont FontForText(const QFont& font, const QString& text) {
    for (char16_t blank : kBlankInStandIn) {
        if (blank != 0 && text.contains(QChar(blank))) {
            QFont symbols = font;
            QStringList families = font.families();
            families.prepend(QString::fromLatin1(kSymbolFamily));
            symbols.setFamilies(families);
            return symbols;
        }
    }
    return font;
}
