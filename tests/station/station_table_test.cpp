// The station's table as text: every line fits the terminal by display width, in either
// language, however narrow the terminal and whatever a message holds.

#include <gtest/gtest.h>

#include "app/ui_language.h"
#include "cli/station_table.h"

namespace {

QList<StationTableRow> FourPorts() {
    QList<StationTableRow> rows;
    const char* names[] = {"ttyUSB0", "ttyUSB1", "ttyUSB2", "/dev/serial/by-id/usb-Silicon_Labs"};
    for (int i = 0; i < 4; ++i) {
        StationTableRow row{names[i], {}};
        row.status.state = i == 0 ? StationState::kDownloading : StationState::kFailed;
        row.status.percent = i == 0 ? 42 : -1;
        row.status.passed = 12 * i;
        row.status.failed = i;
        row.status.message = i == 3 ? "引导程序取消了下载\nsecond line" : "download complete";
        rows << row;
    }
    return rows;
}

class StationTableTest : public testing::TestWithParam<std::tuple<UiLanguage, int>> {};

TEST_P(StationTableTest, EveryLineFitsTheTerminal) {
    const auto [language, columns] = GetParam();
    SetUiLanguage(language);
    StationTableFooter footer{40, 3, 0.5, "image fw.bin  sha256 0123456789ab"};
    const QStringList lines = RenderStationTable(FourPorts(), footer, columns);
    ASSERT_GE(lines.size(), 7);
    for (const QString& line : lines) {
        EXPECT_LT(DisplayWidth(line), std::max(columns, 20)) << line.toStdString();
        EXPECT_FALSE(line.contains('\n'));
    }
    // Wide enough for the totals: 43 controllers in half an hour.
    if (columns >= 60) {
        EXPECT_TRUE(lines.join('\n').contains(" 86")) << lines.join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, StationTableTest,
                         testing::Combine(testing::Values(UiLanguage::English,
                                                          UiLanguage::Chinese),
                                          testing::Values(10, 40, 60, 80, 132)));

TEST(StationTableTextTest, ProgressBarAndColumnsLineUp) {
    SetUiLanguage(UiLanguage::Chinese);
    const QStringList lines = RenderStationTable(FourPorts(), {}, 120);
    EXPECT_TRUE(lines[1].contains("[########")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(" 42%"));
    // Each row's state column starts where the header's does, by display width.
    const int stateColumn = DisplayWidth(lines[0].left(lines[0].indexOf("状态")));
    EXPECT_EQ(DisplayWidth(lines[1].left(lines[1].indexOf("下载中"))), stateColumn);
    EXPECT_EQ(DisplayWidth(lines[2].left(lines[2].indexOf("失败"))), stateColumn);
}

TEST(StationTableTextTest, FitToWidthCountsWideCharactersTwice) {
    EXPECT_EQ(DisplayWidth("abc"), 3);
    EXPECT_EQ(DisplayWidth("串口"), 4);
    EXPECT_EQ(FitToWidth("串口消失", 5), "串口");
    EXPECT_EQ(FitToWidth("a\tb", 3), "a b");
}

}  // namespace
