// The port list as the search builds it, names as a user types them, and the search thread.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <limits>
#include <string>

#include "fake_port_source.h"
#include "link/port_open_sequence.h"
#include "link/port_search.h"
#include "link/port_source.h"

namespace {

using link_test::FakePortSource;

QStringList Numbered(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString("ttyS%1").arg(i);
    return names;
}

struct SearchCase {
    const char* name;
    QStringList listed;
    QString pinned;
    QStringList expected;
};

class PortSearchList : public testing::TestWithParam<SearchCase> {};

TEST_P(PortSearchList, KeepsThePlatformsOrderAfterThePinnedEntry) {
    const SearchCase& c = GetParam();
    FakePortSource source;
    source.m_ports = c.listed;
    QStringList labels;

    const auto names =
        SearchPorts(source, c.pinned, [&labels](const QString& label) { labels << label; });

    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, c.expected);
    // One label per port the platform gave, while there was room in the list.
    const qsizetype room = 256 - (c.pinned.isEmpty() ? 0 : 1);
    ASSERT_EQ(labels.size(), std::min(c.listed.size(), room));
    for (qsizetype i = 0; i < labels.size(); ++i)
        EXPECT_EQ(labels[i], c.listed[i] + "  is  Finding...");
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortSearchList,
    testing::Values(SearchCase{"ThreePortsInListedOrder",
                               {"ttyUSB1", "ttyS0", "ttyACM0"},
                               "",
                               {"ttyUSB1", "ttyS0", "ttyACM0"}},
                    SearchCase{"NothingListed", {}, "", {}},
                    SearchCase{"DemoDeviceFirst",
                               {"ttyS0", "ttyUSB0"},
                               "/dev/pts/7",
                               {"/dev/pts/7", "ttyS0", "ttyUSB0"}},
                    SearchCase{"PinnedNameAlsoListedIsNotListedTwice",
                               {"ttyS0", "ttyUSB0"},
                               "ttyUSB0",
                               {"ttyUSB0", "ttyS0"}},
                    SearchCase{"PinnedAloneWhenNothingIsListed", {}, "ttyUSB3", {"ttyUSB3"}},
                    SearchCase{"AtMost256", Numbered(300), "", Numbered(256)},
                    SearchCase{"AtMost256WithThePin", Numbered(300), "/dev/pts/2",
                               QStringList{"/dev/pts/2"} + Numbered(255)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortSearch, UnreadableListLeavesTheListAlone) {
    FakePortSource source;
    source.m_ports = std::nullopt;
    int labels = 0;
    EXPECT_FALSE(SearchPorts(source, "/dev/pts/7", [&labels](const QString&) { ++labels; }));
    EXPECT_EQ(labels, 0);
}

TEST(PortSearcher, ResearchFindsAPluggedAdapterAndKeepsThePinFirst) {
    FakePortSource source;
    source.m_ports = QStringList{"ttyS0"};
    PortSearcher searcher(source);
    searcher.SetPinned("/dev/pts/4");
    QSignalSpy finished(&searcher, &PortSearcher::finished);
    QSignalSpy found(&searcher, &PortSearcher::portFound);

    ASSERT_TRUE(searcher.Start());
    EXPECT_FALSE(searcher.Start()) << "one search at a time";
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.takeFirst().at(0).toStringList(), (QStringList{"/dev/pts/4", "ttyS0"}));
    EXPECT_FALSE(searcher.Running());

    source.m_ports = QStringList{"ttyS0", "ttyUSB0"};
    ASSERT_TRUE(searcher.Start());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.takeFirst().at(0).toStringList(),
              (QStringList{"/dev/pts/4", "ttyS0", "ttyUSB0"}));
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.last().at(0).toString(), "ttyUSB0  is  Finding...");
}

TEST(PortSearcher, UnreadableListReportsFailure) {
    FakePortSource source;
    source.m_ports = std::nullopt;
    PortSearcher searcher(source);
    QSignalSpy failed(&searcher, &PortSearcher::failed);
    QSignalSpy finished(&searcher, &PortSearcher::finished);
    ASSERT_TRUE(searcher.Start());
    ASSERT_TRUE(failed.wait(5000));
    EXPECT_EQ(finished.size(), 0);
}

TEST(PortNames, OpenAsTheUserTypedThem) {
    const std::pair<QString, QString> cases[] = {
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyACM1", "/dev/ttyACM1"},
        // A typed absolute path, such as a pseudo-terminal, opens as typed.
        {"/dev/pts/7", "/dev/pts/7"},
        // The Windows device prefix is Windows' own.
        {"COM12", "/dev/COM12"},
        {"", ""},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(PortPathForName(name), path) << name.toStdString();
}

TEST(PortNames, BaudRateIsTheNumberAtTheStartOfTheListText) {
    const std::pair<QString, std::uint32_t> cases[] = {
        {"115200", 115200},
        {"9600", 9600},
        {"256000 bps", 256000},
        // A stored rate outside the list leaves its text empty: rate 0, which no port takes.
        {"", 0},
        {"fast", 0},
        {"99999999999", std::numeric_limits<std::uint32_t>::max()},
    };
    for (const auto& [text, rate] : cases)
        EXPECT_EQ(ParseLeadingBaud(text), rate) << text.toStdString();
}

}  // namespace
