#include "cli/station_table.h"

#include <algorithm>
#include <cmath>

#include "cli/station_texts.h"

namespace {

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

int CharWidth(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    return IsWide(c) ? 2 : 1;
}

QString Pad(const QString& text, int columns) {
    const QString fitted = FitToWidth(text, columns);
    return fitted + QString(columns - DisplayWidth(fitted), QLatin1Char(' '));
}

QString PadLeft(const QString& text, int columns) {
    const QString fitted = FitToWidth(text, columns);
    return QString(columns - DisplayWidth(fitted), QLatin1Char(' ')) + fitted;
}

QString Bar(int percent, int width) {
    if (width <= 0)
        return {};
    if (percent < 0)
        return QString(width + 7, QLatin1Char(' '));
    const int filled = std::clamp(percent, 0, 100) * width / 100;
    return QStringLiteral("[") + QString(filled, QLatin1Char('#')) +
           QString(width - filled, QLatin1Char('.')) + QStringLiteral("] ") +
           PadLeft(QString::number(percent) + QLatin1Char('%'), 4);
}

}  // namespace

int DisplayWidth(const QString& text) {
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += CharWidth(c);
    return width;
}

QString FitToWidth(const QString& text, int columns) {
    QString out;
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        // Control characters (a newline in a message) would break the row.
        const char32_t shown = (c < 0x20 || c == 0x7F) ? U' ' : c;
        const int w = CharWidth(shown);
        if (width + w > columns)
            break;
        width += w;
        out += QString::fromUcs4(&shown, 1);
    }
    return out;
}

QStringList RenderStationTable(const QList<StationTableRow>& rows,
                               const StationTableFooter& footer, int columns) {
    columns = std::max(columns, 20);
    const QStringList headers = Text(station_text::kHeader).split(QLatin1Char('|'));
    int portWidth = DisplayWidth(headers.value(0));
    int stateWidth = DisplayWidth(headers.value(1));
    for (const StationTableRow& row : rows) {
        portWidth = std::max(portWidth, DisplayWidth(row.port));
        stateWidth = std::max(stateWidth, DisplayWidth(StationStateText(row.status.state)));
    }
    portWidth = std::min(portWidth, 24);
    constexpr int kCountWidth = 6;
    // The bar shrinks first, then goes; the message takes what is left.
    const int fixed = portWidth + 1 + stateWidth + 1 + kCountWidth + 1 + kCountWidth + 1;
    int barWidth = std::clamp((columns - fixed - 20) / 2, 0, 20);
    if (barWidth < 5)
        barWidth = 0;
    const int progressWidth = barWidth > 0 ? barWidth + 7 : 4;
    const int messageWidth = std::max(0, columns - fixed - progressWidth - 2);

    const auto line = [&](const QString& port, const QString& state, const QString& progress,
                          const QString& passed, const QString& failed, const QString& message) {
        QString text = Pad(port, portWidth) + QLatin1Char(' ') + Pad(state, stateWidth) +
                       QLatin1Char(' ') + Pad(progress, progressWidth) + QLatin1Char(' ') +
                       PadLeft(passed, kCountWidth) + QLatin1Char(' ') +
                       PadLeft(failed, kCountWidth) + QStringLiteral("  ") +
                       FitToWidth(message, messageWidth);
        // Never as wide as the terminal: a full last column makes some terminals wrap.
        return FitToWidth(text, columns - 1);
    };
    QStringList lines;
    lines << line(headers.value(0), headers.value(1), headers.value(2), headers.value(3),
                  headers.value(4), headers.value(5));
    for (const StationTableRow& row : rows) {
        const PortStatus& s = row.status;
        const QString progress =
            barWidth > 0 ? Bar(s.percent, barWidth)
                         : (s.percent < 0 ? QString() : QString::number(s.percent) + '%');
        lines << line(row.port, StationStateText(s.state), progress, QString::number(s.passed),
                      QString::number(s.failed), s.message);
    }
    if (rows.isEmpty())
        lines << FitToWidth(Text(station_text::kNoPorts), columns - 1);
    const int total = footer.passed + footer.failed;
    const double perHour = footer.elapsedHours > 0 ? total / footer.elapsedHours : 0.0;
    lines << QString();
    lines << FitToWidth(Text(station_text::kTotals)
                            .arg(total)
                            .arg(footer.passed)
                            .arg(footer.failed)
                            .arg(static_cast<long long>(std::llround(perHour))),
                        columns - 1);
    if (!footer.what.isEmpty())
        lines << FitToWidth(footer.what, columns - 1);
    return lines;
}
