#pragma once
// Dialog units to pixels, from the dialog font's metrics as the original platform computes
// them: a horizontal unit is a quarter of the average width of the Latin letters, a vertical
// unit an eighth of the character height. Layouts kept in dialog units hold with any font.

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}
    static DialogUnits ForFont(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX;
    int m_baseY;
};

// The CJK font the setup installs, standing in where the Windows fonts are missing.
inline constexpr char kStandInFamily[] = "WenQuanYi Micro Hei";

// The font a dialog asks for by its Windows name, on this platform (dialog_font_<platform>.cpp):
// the named font where it is at home, the stand-in at the same point size elsewhere.
QFont DialogFont(const char* windowsFamily, int pointSize);

// The font for a text in `font`: where the stand-in CJK font draws a character of the text as
// blank (it does so for "℃"), a font that has it is put first.
QFont FontForText(const QFont& font, const QString& text);
