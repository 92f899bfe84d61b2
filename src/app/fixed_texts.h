#pragma once
// Texts that are not in the string table: they read the same whatever the UI language, or
// they are this tool's own additions (which come in both languages). UTF-8.

// The language button names the language it switches to.
inline constexpr char kLanguageButtonEnglish[] = "ENGLISH";
inline constexpr char kLanguageButtonChinese[] = "中文";

// The serial port's configuration failures (Chinese in both UI languages) belong to the port:
// serial/serial_messages.h.

// Background thread start failures: English in both UI languages.
inline constexpr char kCableWatcherThreadFailed[] = "Can't create the comcheck thread!";
inline constexpr char kPortSearchThreadFailed[] = "Can't create the SearchCom thread!";

// Factory configuration confirmations: Chinese in both UI languages.
inline constexpr char kFactoryRestoreConfirm[] = "此次操作“控制器配置”将恢复出厂设置，确定继续吗？";
inline constexpr char kFactoryStoreConfirm[] = "此次操作“控制器出厂设置配置”将被覆盖，确定继续吗？";

// About box.
inline constexpr char kAboutTitle[] = "关于 Tarvik";
inline constexpr char kAboutText[] = "Tarvik 1.0 ";

// Download progress in the log box, the same in both UI languages.
inline constexpr char kDownloadingText[] = "Downloading...";
inline constexpr char kDownloadFinishedText[] = "Download";

// A transfer that ended although the boot loader refused its last packet (its dialect takes that
// NAK as an answer). The window and the command line say it in the same words.
inline constexpr char kLastPacketRefusedEnglish[] =
    "the boot loader answered the last packet with NAK: the program did not arrive whole";
inline constexpr char kLastPacketRefusedChinese[] =
    "引导程序对最后一个数据包回复了 NAK：程序没有完整接收";

// The language switch could not save the new language or start the new instance.
inline constexpr char kLanguageStoreFailedChinese[] = "无法保存语言设置。";
inline constexpr char kLanguageStoreFailedEnglish[] = "The language setting could not be saved.";
inline constexpr char kRestartFailedChinese[] = "无法重新启动程序，新的语言将在下次启动时生效。";
inline constexpr char kRestartFailedEnglish[] =
    "The program could not be restarted; the new language applies at the next start.";
