// The event lines: what a worker writes is what the supervisor reads, and anything else is
// refused rather than half-read.

#include <gtest/gtest.h>

#include "station/station_event.h"

namespace {

TEST(StationEventTest, EveryStateSurvivesTheLine) {
    for (int s = 0; s <= static_cast<int>(StationState::kStopped); ++s) {
        StationEvent event = StationEvent::State("ttyUSB0", static_cast<StationState>(s), "why");
        event.timeMs = 1'765'447'200'123;
        event.controller = 3;
        event.operation = RecordOperation::kDownload;
        event.startedMs = 1'765'447'190'000;
        event.softwareVersion = "2.31";
        event.checkValue = "4711";
        event.record = QUuid::fromString(QStringLiteral("6f1c2a4e-93b0-4d55-a1c7-0e2b9d4f8a10"));
        const QByteArray line = event.ToJsonLine();
        EXPECT_TRUE(line.endsWith('\n'));
        EXPECT_EQ(line.count('\n'), 1);
        const auto back = StationEvent::FromJsonLine(line);
        ASSERT_TRUE(back.has_value()) << line.toStdString();
        EXPECT_EQ(*back, event) << line.toStdString();
    }
}

TEST(StationEventTest, ProgressLine) {
    StationEvent event = StationEvent::Progress("COM7", 42);
    event.timeMs = 1'765'447'200'000;
    const QByteArray line = event.ToJsonLine();
    EXPECT_EQ(line,
              R"({"event":"progress","percent":42,"port":"COM7","time":"2025-12-11T10:00:00.000Z","v":1})"
              "\n");
    EXPECT_EQ(StationEvent::FromJsonLine(line), event);
}

struct RefusedLine {
    const char* name;
    const char* line;
};

class StationEventRefusedTest : public testing::TestWithParam<RefusedLine> {};

TEST_P(StationEventRefusedTest, IsRefusedWithAReason) {
    QString error;
    EXPECT_FALSE(StationEvent::FromJsonLine(GetParam().line, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
}

constexpr const char* kTime = "2025-12-11T10:00:00.000Z";

INSTANTIATE_TEST_SUITE_P(
    Lines, StationEventRefusedTest,
    testing::Values(
        RefusedLine{"NotJson", "progress 42"},
        RefusedLine{"Array", "[1,2]"},
        RefusedLine{"FutureVersion",
                    R"({"v":2,"event":"state","port":"a","time":"2025-12-11T10:00:00.000Z","state":"waiting"})"},
        RefusedLine{"NoVersion",
                    R"({"event":"state","port":"a","time":"2025-12-11T10:00:00.000Z","state":"waiting"})"},
        RefusedLine{"NoPort", R"({"v":1,"event":"state","time":"2025-12-11T10:00:00.000Z","state":"waiting"})"},
        RefusedLine{"BadTime", R"({"v":1,"event":"state","port":"a","time":"yesterday","state":"waiting"})"},
        RefusedLine{"UnknownState",
                    R"({"v":1,"event":"state","port":"a","time":"2025-12-11T10:00:00.000Z","state":"dancing"})"},
        RefusedLine{"UnknownType",
                    R"({"v":1,"event":"hello","port":"a","time":"2025-12-11T10:00:00.000Z"})"},
        RefusedLine{"PercentOver100",
                    R"({"v":1,"event":"progress","port":"a","time":"2025-12-11T10:00:00.000Z","percent":101})"},
        RefusedLine{"UnknownOperation",
                    R"({"v":1,"event":"state","port":"a","time":"2025-12-11T10:00:00.000Z","state":"writing","operation":"paint","started":"2025-12-11T10:00:00.000Z"})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StationEventTest, UnknownMembersAreIgnored) {
    const auto event = StationEvent::FromJsonLine(
        R"({"v":1,"event":"state","port":"a","time":"2025-12-11T10:00:00.000Z","state":"passed","future":true})");
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->state, StationState::kPassed);
}

}  // namespace
