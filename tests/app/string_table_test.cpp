#include "app/string_table.h"

#include <gtest/gtest.h>

namespace {

constexpr auto kZh = UiLanguage::Chinese;
constexpr auto kEn = UiLanguage::English;

TEST(StringTableTest, EveryIdHasBothTexts) {
    const StringTable& table = StringTable::Instance();
    for (int id = 101; id <= 254; ++id) {
        EXPECT_FALSE(table.Text(id, kZh).isEmpty()) << id;
        EXPECT_FALSE(table.Text(id, kEn).isEmpty()) << id;
    }
    const QList<int> ids = table.Ids();
    ASSERT_FALSE(ids.isEmpty());
    EXPECT_EQ(ids.constFirst(), 101);
    EXPECT_EQ(ids.constLast(), 254);
}

TEST(StringTableTest, ExactTextsTyposIncluded) {
    const struct {
        int id;
        UiLanguage language;
        const char* text;
    } cases[] = {
        {101, kZh, "关于 Tarvik(&A)..."},
        {101, kEn, "About Tarvik(&A)..."},
        {102, kEn, "PAGE1"},
        {106, kEn, "Port Settings"},
        {105, kZh, "显示界面"},
        {107, kEn, "No-ops"},
        {110, kEn, "Parameter automatic reading"},
        {111, kZh, "普通"},
        {116, kEn, "guangyang"},
        {117, kZh, "已连接"},
        {118, kEn, "Disconnected"},
        {119, kZh, "通讯异常，无响应"},
        {120, kEn, "Let's open the serial port"},
        {121, kEn, "Write to successful"},
        {123, kEn, "So let's link the controller"},
        {124, kZh, "请等待下载完成"},
        {125, kEn, "Stop the motor first"},
        // 132's English repeats 131's.
        {132, kEn, "Lead-in configuration parameters saved on the computer."},
        {132, kZh, "保存当前控制器的配置参数"},
        {141, kEn, "Simulate vehicle reverse gear"},
        {142, kZh, "模拟车辆锁电机"},
        // Trailing blank kept.
        {153, kEn,
         "No alteration\nAdjust whether the displayed voltage is consistent with the "
         "actual voltage "},
        {139, kEn, "The product signal display is not enabled"},
        {180, kZh, "点击进行调试软件中英文显示切换"},
        {201, kEn, "The automatic exit function of S file is on and off"},
        {224, kEn,
         "Default Hige speed\nFunction: The default gear when starting up in the tap "
         "mode;\nNotes\nDial gear is invalid"},
        {236, kEn,
         "Hall output\nNotrs\n1.Port settings: switch to Output port in the port "
         "interface and select the instrument corresponding type, LINE and Hall\""},
        {242, kZh, "双电压初始默认低压"},
        {247, kEn, "Default not selected (Special program function)"},
    };
    const StringTable& table = StringTable::Instance();
    for (const auto& c : cases) {
        EXPECT_EQ(table.Text(c.id, c.language), QString::fromUtf8(c.text)) << c.id;
    }
}

TEST(StringTableTest, EscapesAreDecoded) {
    const StringTable& table = StringTable::Instance();
    for (int id : table.Ids()) {
        for (UiLanguage language : {kZh, kEn}) {
            // No escape survives; the "/n" typos are plain text and stay.
            EXPECT_FALSE(table.Text(id, language).contains(QLatin1Char('\\'))) << id;
        }
    }
    EXPECT_EQ(table.Text(134, kEn),
              QString::fromUtf8("Count of controller connection errors\nPress “~“at Error _ "
                                "count button in any setting interface and in the meantime "
                                "press “Shift“key together to open the hidden interface and "
                                "remote control.\nScreen input interface can no longer be "
                                "displayed."));
    EXPECT_TRUE(table.Text(183, kEn).startsWith(
        QStringLiteral("According to the vehicle information, confirm \"ECU\" parameter")));
    EXPECT_TRUE(table.Text(238, kEn).contains(QStringLiteral("interface\"/n2.In cruise mode")));
    EXPECT_EQ(table.Text(140, kZh).count(QLatin1Char('\n')), 3);
    EXPECT_EQ(table.Text(253, kEn).count(QStringLiteral("\n\n")), 1);
}

TEST(StringTableTest, FaultListHasOneLinePerNamedBit) {
    const StringTable& table = StringTable::Instance();
    const QStringList english = table.Text(254, kEn).split(QLatin1Char('\n'));
    const QStringList chinese = table.Text(254, kZh).split(QLatin1Char('\n'));
    ASSERT_EQ(english.size(), 26);
    // One bit has no Chinese name and no Chinese line.
    ASSERT_EQ(chinese.size(), 25);
    EXPECT_EQ(english.constFirst(), QStringLiteral("0x001 E_BRAKE_ON"));
    EXPECT_EQ(english.at(1), QStringLiteral("0x02 OVER_CURRENT"));
    EXPECT_TRUE(english.contains(QStringLiteral("0x8000  ICS1_ERR")));
    EXPECT_EQ(english.constLast(), QStringLiteral("0x80000000 SOC_ZERO_ERROR"));
    EXPECT_EQ(chinese.constFirst(), QStringLiteral("0x001 刹车"));
    EXPECT_EQ(chinese.at(1), QStringLiteral("0x02 硬件过流"));
    EXPECT_TRUE(chinese.contains(QStringLiteral("0x8000 电流传感器故障")));
    EXPECT_FALSE(table.Text(254, kZh).contains(QStringLiteral("0x40000 ")));
}

TEST(StringTableTest, UnknownIdsGiveEmptyText) {
    const StringTable& table = StringTable::Instance();
    for (int id : {-1, 0, 100, 255, 57670}) {
        EXPECT_FALSE(table.Contains(id)) << id;
        EXPECT_TRUE(table.Text(id, kZh).isEmpty()) << id;
        EXPECT_TRUE(table.Text(id, kEn).isEmpty()) << id;
    }
}

TEST(StringTableTest, TrFollowsTheRunLanguage) {
    const UiLanguage before = CurrentUiLanguage();
    SetUiLanguage(kZh);
    EXPECT_EQ(Tr(117), QStringLiteral("已连接"));
    EXPECT_EQ(Tr(120), QStringLiteral("先打开串口"));
    SetUiLanguage(kEn);
    EXPECT_EQ(Tr(117), QStringLiteral("Connected"));
    EXPECT_TRUE(Tr(99).isEmpty());
    SetUiLanguage(before);
}

TEST(StringTableTest, MalformedDataIsRejected) {
    const struct {
        const char* name;
        const char* json;
    } cases[] = {
        {"not json", "{\"strings\": [ {\"id\": 1"},
        {"no array", "{\"strings\": {}}"},
        {"top level array", "[{\"id\": 101, \"zh\": \"a\", \"en\": \"b\"}]"},
        {"missing english", "{\"strings\": [{\"id\": 101, \"zh\": \"a\"}]}"},
        {"number as text", "{\"strings\": [{\"id\": 101, \"zh\": 5, \"en\": \"b\"}]}"},
        {"id as text", "{\"strings\": [{\"id\": \"101\", \"zh\": \"a\", \"en\": \"b\"}]}"},
        {"fractional id", "{\"strings\": [{\"id\": 101.5, \"zh\": \"a\", \"en\": \"b\"}]}"},
        {"repeated id",
         "{\"strings\": [{\"id\": 101, \"zh\": \"a\", \"en\": \"b\"},"
         " {\"id\": 101, \"zh\": \"c\", \"en\": \"d\"}]}"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(StringTable::FromJson(QByteArray(c.json), &error).has_value()) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
}

TEST(StringTableTest, WellFormedDataIsRead) {
    const auto table = StringTable::FromJson(
        "{\"strings\": [{\"id\": 7, \"zh\": \"甲\\n乙\", \"en\": \"a \\\"b\\\"\"},"
        " {\"id\": 8, \"zh\": \"\", \"en\": \"x\"}]}");
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->Text(7, kZh), QStringLiteral("甲\n乙"));
    EXPECT_EQ(table->Text(7, kEn), QStringLiteral("a \"b\""));
    EXPECT_TRUE(table->Text(8, kZh).isEmpty());
    EXPECT_EQ(table->Ids(), (QList<int>{7, 8}));
}

}  // namespace
