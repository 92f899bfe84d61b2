#pragma once
// The fixed texts of a failed open. They are Chinese whatever the UI language.

inline constexpr char kSerialOpenFailedText[] = "无法打开端口或端口已打开!请检查是否已被占用.";
inline constexpr char kSerialTimeoutsFailedText[] = "无法设置超时参数!";
inline constexpr char kSerialEventsFailedText[] = "无法设置串口事件，请检查参数!";
inline constexpr char kSerialConfigFailedText[] = "无法按当前参数配置端口，请检查参数!";
inline constexpr char kSerialThreadFailedText[] = "创建接收线程失败!";

// Second line under kSerialOpenFailedText when the device is busy rather than forbidden.
inline constexpr char kSerialBusyReason[] =
    "Device or resource busy (another program is using the port)";
// Third line when the device exists but the user may not open it.
inline constexpr char kSerialDialoutHint[] =
    "Add your user to the \"dialout\" group (sudo usermod -aG dialout $USER), then log out and "
    "in again.";
