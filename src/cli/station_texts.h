#pragma once
// The station's and the automatic modes' own words on the command line, in both languages.

#include <QHash>
#include <QString>

#include "cli/cli_texts.h"
#include "station/station_event.h"

namespace station_text {
inline constexpr CliText kDownloadPassed{"download complete: %1 bytes", "下载完成：%1 字节"};
inline constexpr CliText kStalled{"the boot loader stopped answering", "引导程序不再应答"};
inline constexpr CliText kPortGone{"the port is gone", "串口已消失"};
inline constexpr CliText kCheckValue{"check value %1", "校验值 %1"};
inline constexpr CliText kCheckMatches{"check value %1 matches the reference",
                                       "校验值 %1 与参考文件一致"};
inline constexpr CliText kCheckDiffers{"check value %1, the reference's %2: %3 fields differ",
                                       "校验值 %1，参考文件为 %2：%3 项不同"};
inline constexpr CliText kCheckDiffersOne{"check value %1, the reference's %2: 1 field differs",
                                          "校验值 %1，参考文件为 %2：1 项不同"};
inline constexpr CliText kNotStarted{"the download could not start", "下载无法开始"};
inline constexpr CliText kBadPorts{"--ports must be auto or a list of ports separated by commas",
                                   "--ports 必须是 auto 或以逗号分隔的串口列表"};
inline constexpr CliText kPortTwice{"port %1 is named twice", "串口 %1 重复"};
inline constexpr CliText kNotInAuto{"%1 is given by the station to each worker",
                                    "%1 由工作站为每个工作进程设定"};
inline constexpr CliText kTotals{"total %1   passed %2   failed %3   %4 per hour",
                                 "合计 %1   成功 %2   失败 %3   每小时 %4 台"};
inline constexpr CliText kImage{"image %1  sha256 %2", "程序 %1  sha256 %2"};
inline constexpr CliText kParams{"parameters %1", "参数 %1"};
inline constexpr CliText kHeader{"port|state|progress|passed|failed|message",
                                 "串口|状态|进度|成功|失败|消息"};
inline constexpr CliText kNoPorts{"no cable connected (waiting for 10C4:EA60 ports)",
                                  "未连接调试线（等待 10C4:EA60 串口）"};
}  // namespace station_text

// A state as a person reads it.
QString StationStateText(StationState state);

// Events as plain lines for a person ("14:02:11 ttyUSB0 failed #3: the message"): a progress
// line only when its port's transfer reaches another ten percent.
class PlainEventLines {
public:
    // The line for `event`; empty when it needs none.
    QString Line(const StationEvent& event);

private:
    QHash<QString, int> m_tenths;  // per port, the last ten percent told
};
