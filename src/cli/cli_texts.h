#pragma once
// What the command line says, in the language of the stored UI setting or of --lang.

#include <QString>

#include "app/fixed_texts.h"
#include "app/ui_language.h"

// A text of the command line's own in both languages.
struct CliText {
    const char* english;
    const char* chinese;
};

// The text in this run's language (set once by main).
QString Text(const CliText& text);
// Text `id` of the window's string table in this run's language.
QString TableText(int id);

// A line on stderr (messages, progress) or stdout (results).
void PrintError(const QString& line);
void PrintOut(const QString& line);
// A line on stderr that is not the command's own word (progress, the records' trouble): it
// never becomes a record's reason.
void PrintNotice(const QString& line);
// The last message PrintError showed (what a record gives as its reason); empty before any.
QString LastMessage();

namespace cli_text {
inline constexpr CliText kPortMissing{"--port is required", "需要 --port 参数"};
inline constexpr CliText kBadBaud{"--baud must be a positive whole number", "--baud 必须是正整数"};
inline constexpr CliText kCannotRead{"cannot read %1: %2", "无法读取 %1: %2"};
inline constexpr CliText kCannotWrite{"cannot write %1: %2", "无法写入 %1: %2"};
inline constexpr CliText kFileRefused{"%1 is not a parameter file: %2", "%1 不是参数文件: %2"};
inline constexpr CliText kPagesRefused{"the parameters of %1 cannot be written: %2",
                                       "%1 的参数无法写入: %2"};
inline constexpr CliText kIncompleteBlock{"the controller sent only %1 of the 7 parameter blocks",
                                          "控制器只发送了 7 个参数块中的 %1 个"};
inline constexpr CliText kSaved{"saved %1", "已保存 %1"};
inline constexpr CliText kVerified{"verified: the controller holds the written parameters",
                                   "校验通过：控制器保存了写入的参数"};
inline constexpr CliText kVerifyDiffers{
    "verify failed: block %1 byte %2 (line %3) was written as %4 but reads back as %5",
    "校验失败：第 %1 块第 %2 字节（第 %3 行）写入 %4，读回 %5"};
inline constexpr CliText kImageEmpty{"%1 is empty", "%1 是空文件"};
inline constexpr CliText kImageTooLarge{"%1 has %2 bytes; the boot loader takes at most %3",
                                        "%1 有 %2 字节；引导程序最多接收 %3 字节"};
inline constexpr CliText kWaitingAnnounce{"waiting for the controller to announce itself...",
                                          "等待控制器上电通知..."};
inline constexpr CliText kNoAnnounce{"the controller did not announce itself",
                                     "控制器没有发出上电通知"};
inline constexpr CliText kFlashTimeout{"the download did not finish within %1 s",
                                       "下载未在 %1 秒内完成"};
inline constexpr CliText kFlashAborted{"the boot loader cancelled the download",
                                       "引导程序取消了下载"};
inline constexpr CliText kFlashLastNotAcknowledged{kLastPacketRefusedEnglish,
                                                   kLastPacketRefusedChinese};
inline constexpr CliText kFlashDone{"download complete: %1 bytes", "下载完成：%1 字节"};
inline constexpr CliText kNoStatus{"the controller sent no status", "控制器没有发送状态"};
inline constexpr CliText kConfirmNeeded{"factory-restore changes the controller: add --yes",
                                        "恢复出厂设置会改变控制器：请加 --yes"};
// Nothing answers these commands: the record says sent, not that the controller did it.
inline constexpr CliText kSent{"sent %1, not acknowledged", "已发送 %1，无应答确认"};
inline constexpr CliText kNotSent{"the port did not take %1", "串口未能发送 %1"};
inline constexpr CliText kNoPorts{"no serial ports found", "没有找到串口"};
inline constexpr CliText kUnknownCommand{"unknown command: %1", "未知命令: %1"};
inline constexpr CliText kRecordsRefused{"records: %1 (the command runs without them)",
                                         "记录: %1（命令照常执行，不做记录）"};
inline constexpr CliText kRecordsFailed{"records: %1", "记录: %1"};
inline constexpr CliText kBadDate{"%1 must be a date (yyyy-MM-dd) or today",
                                  "%1 必须是日期 (yyyy-MM-dd) 或 today"};
inline constexpr CliText kBadChoice{"%1 must be one of: %2", "%1 必须是以下之一: %2"};
inline constexpr CliText kNoRecords{"no records", "没有记录"};
inline constexpr CliText kNoAnswer{"no answer in time", "未能及时应答"};
inline constexpr CliText kEndedWithCode{"ended with exit code %1 without a message",
                                        "以退出码 %1 结束，没有提示信息"};
}  // namespace cli_text
