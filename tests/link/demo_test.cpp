// Demo mode: the in-process controller behind the platform's demo port (a pseudo-terminal here)
// and behind the in-memory line is a working peer for the link, found first in the port list,
// with its cable reported present.

#include <gtest/gtest.h>

#include <QTest>

#include "core/commands/manual_clock.h"
#include "core/protocol/command_frame.h"
#include "fake_port_source.h"
#include "link/cable_watcher.h"
#include "link/port_search.h"
#include "link/port_source.h"
#include "link_test_support.h"
#include "tarvik/demo_port.h"
#include "tarvik/memory_demo_port.h"
#include "test_case_name.h"

namespace {

using link_test::FakePortSource;
using link_test::LinkFixture;

struct DemoCase {
    const char* name;
    std::unique_ptr<DemoPort> (*make)();
};

class DemoTest : public LinkFixture, public testing::WithParamInterface<DemoCase> {};

TEST_P(DemoTest, DemoDeviceIsListedFirstAndAnswersTheLink) {
    const std::unique_ptr<DemoPort> demo = GetParam().make();
    const QString path = demo->Start();
    ASSERT_FALSE(path.isEmpty()) << demo->ErrorString().toStdString();

    FakePortSource platform;
    platform.m_ports = QStringList{"ttyS0"};
    DemoPortSource source(platform);
    const auto names = SearchPorts(source, path);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(names->first(), path);

    // As the port row opens the listed name.
    ASSERT_TRUE(m_link->Open(PortPathForName(names->first()), 9600, false));
    int blocks = 0;
    QObject::connect(m_link.get(), &ControllerLink::parameterBlockReceived, m_link.get(),
                     [&blocks](int, const BlockBytes&) { ++blocks; });
    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));
    EXPECT_TRUE(QTest::qWaitFor([&] { return blocks == 7; }, 3000));
    m_link->Close();
}

INSTANTIATE_TEST_SUITE_P(Ports, DemoTest,
                         testing::Values(DemoCase{"Platform", CreateDemoPort},
                                         DemoCase{"InMemory",
                                                  [] {
                                                      return std::unique_ptr<DemoPort>(
                                                          std::make_unique<MemoryDemoPort>());
                                                  }}),
                         CaseName());

TEST(DemoPortSource, ReportsTheSimulatedCablePresent) {
    FakePortSource platform;
    platform.SetSamples("", PortSource::Cable::kAbsent);
    DemoPortSource source(platform);
    ManualClock clock;
    CableWatcher watcher(source, clock);
    std::vector<int> texts;
    QObject::connect(&watcher, &CableWatcher::statusText,
                     [&texts](int id) { texts.push_back(id); });
    watcher.Start();
    clock.Advance(500);
    EXPECT_EQ(texts, std::vector<int>{kStatusConnectedText});
}

}  // namespace
