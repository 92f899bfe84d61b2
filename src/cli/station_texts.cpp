#include "cli/station_texts.h"

#include <QDateTime>

namespace {

CliText StateText(StationState state) {
    switch (state) {
        case StationState::kStarting:
            return {"starting", "启动中"};
        case StationState::kWaiting:
            return {"waiting", "等待"};
        case StationState::kBootEntry:
            return {"boot entry", "进入引导"};
        case StationState::kDownloading:
            return {"downloading", "下载中"};
        case StationState::kWriting:
            return {"writing", "写入中"};
        case StationState::kReading:
            return {"reading", "读取中"};
        case StationState::kPassed:
            return {"passed", "成功"};
        case StationState::kFailed:
            return {"failed", "失败"};
        case StationState::kCancelled:
            return {"cancelled", "已取消"};
        case StationState::kPortGone:
            return {"port gone", "串口消失"};
        case StationState::kPortError:
            return {"port error", "串口错误"};
        case StationState::kRestarting:
            return {"restarting", "重启中"};
        case StationState::kStopped:
            return {"stopped", "已停止"};
    }
    return {"", ""};
}

}  // namespace

QString StationStateText(StationState state) {
    return Text(StateText(state));
}

QString PlainEventLines::Line(const StationEvent& event) {
    const QString time = QDateTime::fromMSecsSinceEpoch(event.timeMs).toString("HH:mm:ss");
    if (event.type == StationEvent::Type::kProgress) {
        if (m_tenths.value(event.port, -1) == event.percent / 10)
            return {};
        m_tenths.insert(event.port, event.percent / 10);
        return QStringLiteral("%1 %2 %3%").arg(time, event.port).arg(event.percent);
    }
    m_tenths.remove(event.port);
    QString line = QStringLiteral("%1 %2 %3").arg(time, event.port, StationStateText(event.state));
    if (event.controller > 0)
        line += QStringLiteral(" #%1").arg(event.controller);
    if (!event.message.isEmpty())
        line += QStringLiteral(": ") + QString(event.message).replace(QLatin1Char('\n'), "; ");
    return line;
}
