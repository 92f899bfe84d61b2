#include "app/tool_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "core/protocol/link_flags.h"
#include "settings_file.h"

namespace {

class ToolSettingsTest : public SettingsFile {
protected:
    void SetUp() override {
        SettingsFile::SetUp();
        ResetLinkFlags();
    }
    void TearDown() override { ResetLinkFlags(); }
};

TEST_F(ToolSettingsTest, CanEnableClickSelectsStoresAndFlags) {
    const struct {
        int startRate;
        int startCanEnable;
        bool checked;
        int index;
        int rate;
        int canEnable;
        std::uint8_t flag;
    } cases[] = {
        {9600, 0, true, 2, 115200, 1, 1},  {256000, 0, true, 2, 115200, 1, 1},
        {115200, 1, false, 0, 9600, 0, 0}, {19200, 5, false, 0, 9600, 0, 0},
        {57600, 0, false, 0, 9600, 0, 0},
    };
    for (const auto& c : cases) {
        ProfileSettings settings(Path());
        settings.SetBaudRate(c.startRate);
        settings.SetCanEnable(c.startCanEnable);
        g_canEnabled = c.checked ? 0 : 1;

        EXPECT_EQ(ApplyCanEnableClick(settings, c.checked), c.index);
        EXPECT_EQ(g_canEnabled.load(), c.flag);
        const auto stored = Reopen();
        EXPECT_EQ(stored->BaudRate(), c.rate);
        EXPECT_EQ(stored->CanEnable(), c.canEnable);
        // The list shows the rate that was stored.
        EXPECT_EQ(g_baudRateTable[static_cast<std::size_t>(c.index)], c.rate);
    }
}

TEST_F(ToolSettingsTest, BaudRateSelectionStoresTheListedRate) {
    const int rates[] = {9600, 19200, 115200, 256000};
    for (int index = 0; index < 4; ++index) {
        ProfileSettings settings(Path());
        EXPECT_TRUE(StoreBaudRateSelection(settings, index));
        EXPECT_EQ(Reopen()->BaudRate(), rates[index]);
    }
}

TEST_F(ToolSettingsTest, NoSelectionStoresNothing) {
    ProfileSettings settings(Path());
    settings.SetBaudRate(19200);
    for (int index : {-1, 4, 1000}) {
        EXPECT_FALSE(StoreBaudRateSelection(settings, index)) << index;
        EXPECT_EQ(Reopen()->BaudRate(), 19200) << index;
    }
}

TEST_F(ToolSettingsTest, BaudRateSelectionLeavesCanEnableAlone) {
    ProfileSettings settings(Path());
    ApplyCanEnableClick(settings, true);
    StoreBaudRateSelection(settings, 0);
    EXPECT_EQ(Reopen()->CanEnable(), 1);
    EXPECT_EQ(g_canEnabled.load(), 1);
}

struct RestoreCase {
    const char* file;  // settings file contents, empty for no file
    std::optional<int> index;
    bool canEnable;
    bool firstGenCable;
};

void PrintTo(const RestoreCase& c, std::ostream* os) {
    *os << '"' << c.file << '"';
}

const RestoreCase kRestoreCases[] = {
    {"", 0, false, false},
    {"[Settings]\nInt=9600\n", 0, false, false},
    {"[Settings]\nInt=19200\n", 1, false, false},
    {"[Settings]\nInt=115200\nInt1=1\n", 2, true, false},
    {"[Settings]\nInt=256000\n", 3, false, false},
    // A rate that is not listed leaves the list without a selection.
    {"[Settings]\nInt=57600\n", std::nullopt, false, false},
    {"[Settings]\nInt=0\n", std::nullopt, false, false},
    // Any non-zero "Int1" is on.
    {"[Settings]\nInt1=5\n", 0, true, false},
    {"[Settings]\nInt1=-1\n", 0, true, false},
    // Box 1049 only for exactly 1.
    {"[Settings]\nInt2=1\n", 0, false, true},
    {"[Settings]\nInt2=2\n", 0, false, false},
    {"[Settings]\nInt2=-1\n", 0, false, false},
};

class RestoreTable : public ToolSettingsTest, public testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTable, StartupShowsTheStoredSettings) {
    const RestoreCase& c = GetParam();
    if (c.file[0] != '\0') {
        WriteFile(c.file);
    }
    g_canEnabled = c.canEnable ? 0 : 1;
    const ToolSettings tool = RestoreToolSettings(*Reopen());
    EXPECT_EQ(tool.baudIndex, c.index);
    EXPECT_EQ(tool.canEnableChecked, c.canEnable);
    EXPECT_EQ(tool.firstGenCableChecked, c.firstGenCable);
    EXPECT_EQ(g_canEnabled.load(), c.canEnable ? 1 : 0);
    // Restoring never writes: the file is exactly as it was.
    EXPECT_EQ(QFile::exists(Path()), c.file[0] != '\0');
}

INSTANTIATE_TEST_SUITE_P(Cases, RestoreTable, testing::ValuesIn(kRestoreCases));

TEST_F(ToolSettingsTest, ClickedSettingsComeBackAtTheNextStart) {
    {
        ProfileSettings settings(Path());
        ApplyCanEnableClick(settings, true);
        settings.SetFirstGenCable(1);
    }
    ResetLinkFlags();
    const ToolSettings tool = RestoreToolSettings(*Reopen());
    EXPECT_EQ(tool.baudIndex, 2);
    EXPECT_TRUE(tool.canEnableChecked);
    EXPECT_TRUE(tool.firstGenCableChecked);
    EXPECT_EQ(g_canEnabled.load(), 1);
}

}  // namespace
