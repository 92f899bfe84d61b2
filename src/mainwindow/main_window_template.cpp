#include "mainwindow/main_window_template.h"

namespace {

using K = ControlKind;

DialogTemplate Build() {
    DialogTemplate t;
    t.width = 586;
    t.height = 305;
    t.fontFamily = "宋体";
    t.fontPointSize = 9;
    t.title = "LD-Zerth-V3";
    t.controls = {
        {1034, K::Tab, "", "", 0, 0, 351, 240},
        {1027, K::Label, "设备端口:", "PORT:", 13, 250, 37, 8},
        {1026, K::ComboEdit, "", "", 52, 248, 50, 57},
        {1032, K::Button, "打开串口", "OPEN", 105, 247, 44, 14},
        {1029, K::Button, "重新查找", "research", 105, 267, 44, 14},
        {1021, K::Label, "设备状态:", "Status:", 13, 270, 37, 8},
        {1020, K::Label, "", "", 52, 270, 41, 11},
        {1028, K::Label, "", "", 423, 206, 47, 8, kHidden},
        {1033, K::Button, "连接控制器", "Conect", 164, 243, 65, 21},
        {1036, K::Button, "控制器参数写入", "Param write", 163, 266, 66, 20, kDefaultButton},
        {0, K::Label, "success_count:", "success_count:", 242, 243, 58, 9},
        {1019, K::Edit, "", "", 302, 241, 43, 12},
        {0, K::Label, "error_count:", "error_count:", 243, 256, 50, 9},
        {1022, K::Edit, "", "", 302, 255, 43, 12},
        {1063, K::Button, "导入配置", "import prarm", 240, 272, 49, 14},
        {1064, K::Button, "保存配置", "save prarm", 300, 272, 49, 14},
        {1050, K::Label, ">", ">", 356, 123, 12, 33, kNotify | kCentered},
        {1070, K::GroupBox, "通讯设置及程序下载", "comunicatin and download set", 370, 13, 209,
         292},
        {1001, K::Edit, "", "", 380, 24, 187, 13, kMultiLine},
        {1073, K::Label, "设置校验结果比较值:", "set compare check value:", 381, 41, 79, 11},
        {1013, K::Edit, "", "", 461, 39, 42, 13},
        {1074, K::Label, "当前校验结果实际值:", "current check result value:", 381, 56, 79, 11},
        {1016, K::Edit, "", "", 461, 54, 42, 13},
        {1067, K::Button, "存储出厂设置", "Factory set", 508, 40, 58, 16, kHidden},
        {1065, K::Button, "恢复出厂设置", "", 507, 56, 58, 16, kHidden | kChineseOnly},
        {1088, K::Button, "", "Factory reset", 510, 53, 58, 16, kHidden | kEnglishOnly},
        {1075, K::GroupBox, "远程控制", "remote control", 380, 70, 187, 79},
        {1076, K::Label, "转把电压:", "Throttle:", 386, 85, 37, 11},
        {1061, K::Trackbar, "", "", 425, 78, 113, 21, kTicks},
        {1057, K::Label, "0.8", "0.8", 539, 86, 16, 10},
        {0, K::Label, "V", "V", 557, 86, 8, 10},
        {1043, K::CheckBox, "电压标定自动使能", "vol auto cal", 502, 94, 77, 11, kHidden},
        {1078, K::GroupBox, "三速默认档位", "Gear", 384, 99, 120, 24},
        {1044, K::Radio, "低速", "L", 385, 110, 29, 10, kGroup},
        {1055, K::Radio, "中速", "M", 416, 110, 29, 10},
        {1056, K::Radio, "高速", "H", 446, 110, 29, 10},
        {1058, K::Radio, "S档", "S", 477, 110, 26, 10},
        {1181, K::ThreeState, "切换显示", "Switch ", 509, 107, 52, 14, kGroup},
        {1182, K::ThreeState, "故障显示", "show err", 512, 101, 44, 13, kHidden},
        {1042, K::CheckBox, "Check6", "Check6", 524, 117, 29, 8, kHidden},
        {1045, K::CheckBox, "刹车", "Brake", 387, 130, 32, 10},
        {1046, K::CheckBox, "倒车", "R", 422, 131, 32, 10},
        {1048, K::CheckBox, "锁电机", "Lock", 454, 131, 36, 10},
        {1062, K::Button, "远程控制", "Remote", 506, 129, 58, 16, kHidden},
        {1079, K::GroupBox, "标定", "Calibration", 370, 151, 209, 84},
        {1080, K::Label, "电压标定值:", "vol cal:", 376, 162, 46, 11},
        {1010, K::Edit, "", "", 421, 161, 43, 12, kDigitsOnly},
        {1051, K::UpDown, "", "", 463, 161, 12, 12},
        {1081, K::Label, "电流标定值:", "cur cal:", 376, 179, 46, 11},
        {1011, K::Edit, "", "", 421, 177, 43, 12, kDigitsOnly},
        {1052, K::UpDown, "", "", 463, 177, 12, 12},
        {1082, K::Label, "弱磁系数值:", "weak flux:", 376, 195, 46, 11},
        {1012, K::Edit, "", "", 421, 193, 43, 12, kDigitsOnly},
        {1054, K::UpDown, "", "", 462, 193, 12, 12},
        {1060, K::Button, "脱机下载", "CLR DTC", 476, 159, 48, 15, kHiddenInEnglish},
        {1047, K::CheckBox, "Auto_B", "Auto_B", 528, 161, 43, 10, kHidden},
        {1077, K::Radio, "1M", "1M", 478, 175, 22, 10, kHidden | kGroup},
        {1085, K::Radio, "500", "500", 502, 175, 24, 10, kHidden},
        {1086, K::Radio, "250", "250", 526, 175, 24, 10, kHidden},
        {1087, K::Radio, "125", "125", 550, 175, 24, 10, kHidden},
        {1038, K::Radio, "A", "A", 478, 187, 20, 10, kHidden | kGroup},
        {1039, K::Radio, "B", "B", 501, 187, 20, 10, kHidden},
        {1040, K::Radio, "C", "C", 524, 187, 20, 10, kHidden},
        {1041, K::Radio, "D", "D", 547, 187, 20, 10, kHidden},
        {1068, K::Radio, "E", "E", 478, 198, 20, 10, kHidden},
        {1069, K::Radio, "F", "F", 501, 198, 20, 10, kHidden},
        {1071, K::Radio, "G", "G", 524, 198, 20, 10, kHidden},
        {1072, K::Radio, "H", "H", 547, 198, 20, 10, kHidden},
        {1053, K::Button, "标定数据写入", "Calibration ", 373, 212, 55, 20, kHidden | kGroup},
        {1066, K::Button, "重启调试线", "reset debug", 437, 212, 45, 20, kHidden},
        {1059, K::Button, "重启控制器", "RESET", 491, 212, 50, 20, kHidden},
        {1049, K::CheckBox, "CAN", "CAN", 547, 217, 25, 10, kHidden},
        {1005, K::Button, "打开文件", "open file", 383, 240, 50, 14},
        {1009, K::Edit, "", "", 440, 241, 121, 15},
        {1006, K::Button, "下载", "download", 384, 258, 50, 14},
        {1014, K::Progress, "", "", 443, 260, 107, 14},
        {1015, K::Label, "", "", 551, 262, 18, 8},
        {1083, K::Label, "模式:", "moden:", 378, 279, 25, 11},
        // Wide enough for the longest mode's English name; the delay needs only a few digits.
        {1030, K::ComboEdit, "", "", 405, 278, 108, 57},
        {1084, K::Label, "延时:", "delay:", 516, 279, 22, 11},
        {1023, K::Edit, "", "", 540, 278, 28, 12},
    };
    return t;
}

}  // namespace

const DialogTemplate& MainWindowTemplate() {
    static const DialogTemplate t = Build();
    return t;
}

const std::vector<CaptionOverlay>& EnglishOverlay() {
    static const std::vector<CaptionOverlay> overlay = {
        {1027, "PORT:"},
        {1021, "Status:"},
        {1032, "OPEN"},
        {1029, "research"},
        {1033, "Conect"},
        {1036, "Param write"},
        {1063, "import prarm"},
        {1064, "save prarm"},
        {1070, "comunicatin and download set"},
        {1073, "set compare check value:"},
        {1074, "current check result value:"},
        {1075, "remote control"},
        {1076, "Throttle:"},
        {1078, "Gear"},
        {1044, "L"},
        {1055, "M"},
        {1056, "H"},
        {1058, "S"},
        {1181, "Switch "},
        {1045, "Brake"},
        {1046, "R"},
        {1048, "Lock"},
        {1062, "Remote"},
        {1079, "Calibration"},
        {1080, "vol cal:"},
        {1081, "cur cal:"},
        {1082, "weak flux:"},
        {1053, "Calibration "},
        {1059, "RESET"},
        {1060, "CLR DTC"},
        {1005, "open file"},
        {1006, "download"},
        {1083, "moden:"},
        {1084, "delay:"},
        {1182, "show err"},
    };
    return overlay;
}
