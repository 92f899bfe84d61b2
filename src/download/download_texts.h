#pragma once
// The download group's messages that the string table does not have. UTF-8.

#include "app/fixed_texts.h"
#include "app/ui_language.h"

// The framework's file-open failures, English in both UI languages; %1 is the full path.
namespace file_error_text {
inline constexpr char kNotFound[] = "%1 was not found.";
inline constexpr char kBadPath[] = "%1 contains an incorrect path.";
inline constexpr char kTooManyOpen[] =
    "%1 could not be opened because there are too many open files.";
inline constexpr char kAccessDenied[] = "Access to %1 was denied.";
inline constexpr char kSharing[] = "Encountered a sharing violation while accessing %1.";
inline constexpr char kHardIo[] = "A hardware I/O error was reported while accessing %1.";
inline constexpr char kGeneric[] = "An unknown error occurred while accessing %1.";
}  // namespace file_error_text

// The tool's own refusals, so that a controller is never sent into its boot loader for an image
// that cannot follow. The same texts as the command line's.
struct DownloadText {
    const char* chinese;
    const char* english;
    const char* In(UiLanguage language) const {
        return language == UiLanguage::English ? english : chinese;
    }
};

namespace download_text {
inline constexpr DownloadText kNoImage{"请先选择控制器程序文件",
                                       "Choose the controller program file first"};
// %1 the path.
inline constexpr DownloadText kImageEmpty{"%1 是空文件", "%1 is empty"};
// %1 the path, %2 its size, %3 the limit.
inline constexpr DownloadText kImageTooLarge{"%1 有 %2 字节；引导程序最多接收 %3 字节",
                                             "%1 has %2 bytes; the boot loader takes at most %3"};
// The tool's words in the records where a download ended without anything said.
inline constexpr DownloadText kSenderRefused{"发送程序未接受该程序文件", "the sender did not take the program file"};
inline constexpr DownloadText kPortReopenedBeforeTransfer{
    "控制器已进入引导程序，但传输开始前串口被重新打开",
    "the port was opened again after the controller entered its boot loader, before the transfer began"};
// Shown in the log box instead of the finished text; see fixed_texts.h.
inline constexpr DownloadText kLastPacketRefused{kLastPacketRefusedChinese,
                                                 kLastPacketRefusedEnglish};
}  // namespace download_text
