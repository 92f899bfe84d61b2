#include "production/station_tile.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "production/production_text.h"

namespace {

QString WorkingText(StationPhase phase) {
    switch (phase) {
        case StationPhase::kBootEntry:
            return ProductionText("进入引导", "BOOT ENTRY");
        case StationPhase::kDownloading:
            return ProductionText("下载中", "DOWNLOADING");
        case StationPhase::kWriting:
            return ProductionText("写入中", "WRITING");
        case StationPhase::kReading:
            return ProductionText("读取中", "READING");
        default:
            return ProductionText("进行中", "WORKING");
    }
}

}  // namespace

StationTile::StationTile(QWidget* parent)
    : QFrame(parent),
      m_port(new QLabel(this)),
      m_lamp(new QLabel(this)),
      m_counts(new QLabel(this)),
      m_state(new QLabel(this)),
      m_progress(new QProgressBar(this)),
      m_message(new QLabel(this)),
      m_finished(new QLabel(this)) {
    setFrameShape(QFrame::StyledPanel);
    setObjectName(QStringLiteral("stationTile"));
    setMinimumSize(220, 150);

    QFont portFont = m_port->font();
    portFont.setBold(true);
    portFont.setPointSizeF(portFont.pointSizeF() * 1.3);
    m_port->setFont(portFont);
    m_lamp->setFixedSize(16, 16);
    QFont countsFont = m_counts->font();
    countsFont.setPointSizeF(countsFont.pointSizeF() * 1.2);
    countsFont.setBold(true);
    m_counts->setFont(countsFont);
    m_counts->setTextFormat(Qt::RichText);

    m_state->setAlignment(Qt::AlignCenter);
    m_state->setAutoFillBackground(true);
    m_state->setMinimumHeight(40);
    m_state->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    QFont stateFont = m_state->font();
    stateFont.setBold(true);
    m_state->setFont(stateFont);

    m_progress->setRange(0, 100);
    m_progress->setTextVisible(true);
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_finished->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* top = new QHBoxLayout;
    top->addWidget(m_lamp);
    top->addWidget(m_port, 1);
    top->addWidget(m_counts);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_state, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_message);
    layout->addWidget(m_finished);
}

QString StationTile::StateText(const StationPortView& view) {
    switch (view.state) {
        case TileState::kWaiting:
            return ProductionText("等待", "WAITING");
        case TileState::kWorking:
            return WorkingText(view.phase);
        case TileState::kPassed:
            return ProductionText("合格", "PASSED");
        case TileState::kFailed:
            return ProductionText("不合格", "FAILED");
        case TileState::kCancelled:
            return ProductionText("已取消", "CANCELLED");
        case TileState::kInUse:
            return ProductionText("端口被占用", "IN USE");
        case TileState::kPortError:
            return ProductionText("端口错误", "PORT ERROR");
        case TileState::kNoWorker:
            return ProductionText("重新启动中", "RESTARTING");
        case TileState::kStopped:
            break;
    }
    return ProductionText("已停止", "STOPPED");
}

QColor StationTile::StateColour(TileState state) {
    // Saturated and far apart in lightness too, so they tell apart across a room and for an
    // eye that confuses red and green.
    switch (state) {
        case TileState::kWorking:
            return QColor(0x15, 0x65, 0xc0);
        case TileState::kPassed:
            return QColor(0x1b, 0x7f, 0x2a);
        case TileState::kFailed:
            return QColor(0xc6, 0x28, 0x28);
        case TileState::kInUse:
        case TileState::kPortError:
        case TileState::kNoWorker:
        case TileState::kCancelled:
            return QColor(0xf5, 0xb0, 0x00);
        case TileState::kWaiting:
            return QColor(0xdd, 0xdd, 0xdd);
        case TileState::kStopped:
            break;
    }
    return QColor(0xf0, 0xf0, 0xf0);
}

QColor StationTile::StateTextColour(TileState state) {
    switch (state) {
        case TileState::kWorking:
        case TileState::kPassed:
        case TileState::kFailed:
            return Qt::white;
        case TileState::kStopped:
            return QColor(0x80, 0x80, 0x80);
        default:
            return QColor(0x20, 0x20, 0x20);
    }
}

void StationTile::Show(const StationPortView& view) {
    m_port->setText(view.port);
    m_lampLit = view.cable;
    m_lamp->setStyleSheet(QStringLiteral("border-radius: 8px; border: 1px solid #404040; "
                                         "background: %1;")
                              .arg(view.cable ? QStringLiteral("#30d030")
                                              : QStringLiteral("#505050")));
    m_lamp->setToolTip(view.cable ? ProductionText("已连接线缆", "cable connected")
                                  : ProductionText("未连接线缆", "no cable"));
    m_counts->setText(QStringLiteral("<span style='color:#1b7f2a'>✔ %1</span>&nbsp;&nbsp;"
                                     "<span style='color:#c62828'>✘ %2</span>")
                          .arg(view.passed)
                          .arg(view.failed));
    m_counts->setToolTip(ProductionText("合格 %1，不合格 %2", "%1 passed, %2 failed")
                             .arg(view.passed)
                             .arg(view.failed));
    m_stateText = StateText(view);
    QPalette palette = m_state->palette();
    palette.setColor(QPalette::Window, StateColour(view.state));
    palette.setColor(QPalette::WindowText, StateTextColour(view.state));
    m_state->setPalette(palette);
    m_progress->setValue(view.percent);
    m_progress->setEnabled(view.state == TileState::kWorking || view.state == TileState::kPassed);
    m_fullMessage = view.message;
    m_message->setToolTip(view.message);
    if (view.finishedMs != 0) {
        const QString time =
            QDateTime::fromMSecsSinceEpoch(view.finishedMs).toLocalTime().toString("HH:mm:ss");
        m_finished->setText(
            view.softwareVersion.isEmpty()
                ? ProductionText("上一个：%1 完成", "Last: finished %1").arg(time)
                : ProductionText("上一个：软件 %1，%2 完成", "Last: software %1, finished %2")
                      .arg(view.softwareVersion, time));
    } else {
        m_finished->setText(ProductionText("上一个：—", "Last: —"));
    }
    FitTexts();
}

void StationTile::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitTexts();
}

void StationTile::FitTexts() {
    // The state fills its band: as large as its height allows, smaller only where the words
    // would not fit the width.
    QFont font = m_state->font();
    int pixels = std::clamp(m_state->height() * 6 / 10, 14, 96);
    font.setPixelSize(pixels);
    const int room = std::max(40, m_state->width() - 12);
    while (pixels > 12 && QFontMetrics(font).horizontalAdvance(m_stateText) > room) {
        pixels -= 2;
        font.setPixelSize(pixels);
    }
    m_state->setFont(font);
    m_state->setText(m_stateText);
    const QFontMetrics metrics(m_message->font());
    m_message->setText(
        metrics.elidedText(m_fullMessage, Qt::ElideRight, std::max(20, m_message->width())));
}

QString StationTile::StateShown() const {
    return m_state->text();
}

QString StationTile::MessageShown() const {
    return m_fullMessage;
}

QString StationTile::CountsShown() const {
    return m_counts->toolTip();
}

QString StationTile::FinishedShown() const {
    return m_finished->text();
}

int StationTile::PercentShown() const {
    return m_progress->value();
}
