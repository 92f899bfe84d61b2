// The table of shown fields, their formatting, and the comparison of two value sets or blocks.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/params/config_file.h"
#include "core/params/param_state.h"
#include "core/params/parameter_fields.h"
#include "core/params/port_function_names.h"
#include "core/params/value_slot.h"
#include "param_test_support.h"

namespace {

using F = ParamField;

// ---- the table ---------------------------------------------------------------------------------

// Every value the layout carries to or from a page or the main window must be listed: a field
// left out would never show up in a comparison.
TEST(ParameterFieldTable, ListsEveryShownValueOfTheLayoutOnce) {
    std::set<F> shown;
    for (const LayoutRow& row : BlockLayout())
        for (F id : {row.m_decodeTo, row.m_encodeFrom})
            if (id != F::kNone && FieldInfo(id).m_owner != ParamOwner::kGlobal)
                shown.insert(id);

    std::set<F> listed;
    for (const ParameterField& field : ParameterFields()) {
        EXPECT_TRUE(listed.insert(field.m_id).second)
            << "listed twice: " << static_cast<int>(field.m_id);
        EXPECT_FALSE(field.m_name.empty());
    }
    EXPECT_EQ(listed, shown);
}

TEST(ParameterFieldTable, EachFormatReadsTheKindOfValueItsFieldHolds) {
    const ParameterValues values;
    for (const ParameterField& field : ParameterFields()) {
        SCOPED_TRACE(std::string(field.m_name));
        const ConstValueSlot slot = SlotOf(values, field.m_id);
        switch (field.m_format) {
            case FieldFormat::kUnsigned:
                EXPECT_NE(slot.m_unsigned, nullptr);
                break;
            case FieldFormat::kSigned:
                EXPECT_NE(slot.m_int, nullptr);
                break;
            case FieldFormat::kFloat:
                EXPECT_NE(slot.m_float, nullptr);
                break;
            case FieldFormat::kList:
                EXPECT_NE(slot.m_int, nullptr);
                EXPECT_EQ(FieldInfo(field.m_id).m_kind, ParamKind::kCombo);
                EXPECT_FALSE(field.m_choices.empty());
                break;
            case FieldFormat::kRadio:
                EXPECT_NE(slot.m_int, nullptr);
                EXPECT_EQ(FieldInfo(field.m_id).m_kind, ParamKind::kRadio);
                EXPECT_FALSE(field.m_choices.empty());
                break;
            case FieldFormat::kCheck:
                EXPECT_NE(slot.m_bool, nullptr);
                EXPECT_EQ(FieldInfo(field.m_id).m_kind, ParamKind::kCheck);
                break;
            case FieldFormat::kPin:
                EXPECT_NE(slot.m_pin, nullptr);
                break;
            case FieldFormat::kText:
                EXPECT_NE(slot.m_text, nullptr);
                break;
        }
    }
}

TEST(ParameterFieldTable, RunsPageByPageInTheWindowsOrder) {
    const std::vector<ParamOwner> order = {ParamOwner::kPage0, ParamOwner::kPage1,
                                           ParamOwner::kPage3, ParamOwner::kPortPage,
                                           ParamOwner::kMainWindow};
    std::size_t at = 0;
    for (const ParameterField& field : ParameterFields()) {
        const ParamOwner owner = FieldInfo(field.m_id).m_owner;
        while (at < order.size() && order[at] != owner)
            ++at;
        ASSERT_LT(at, order.size()) << field.m_name << " is out of page order";
    }
    // Within a page, the exchange order: on page 1 the brand list follows the versions.
    const auto fields = ParameterFields();
    const auto indexOf = [&](F id) { return FindParameterField(id) - fields.data(); };
    EXPECT_LT(indexOf(F::kHwVersion), indexOf(F::kBrandCombo));
    EXPECT_LT(indexOf(F::kBrandCombo), indexOf(F::kThrottleLowProtect));
    EXPECT_LT(indexOf(F::kHallAngle), indexOf(F::kPushAssistSpeed));
}

TEST(ParameterFieldTable, ControlsLeadBackToTheirField) {
    for (const ParameterField& field : ParameterFields()) {
        const ParamFieldInfo info = FieldInfo(field.m_id);
        EXPECT_EQ(FindParameterFieldByControl(info.m_owner, info.m_controlId), &field)
            << field.m_name;
    }
    // Control ids repeat across pages: 1009 is a different field on each.
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPage0, 1009)->m_id, F::kOverVoltage);
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPage1, 1009)->m_id, F::kBusCurrentMax);
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPage3, 1009)->m_id, F::kHallAngle);
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kMainWindow, 1012)->m_id,
              F::kFieldWeakeningText);
    // Any of a pin's controls names the pin: "LA" of PA15, radio "D" of PD15(empty).
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPortPage, 1224)->m_id, PinField(11));
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPortPage, 1239)->m_id, PinField(15));
    EXPECT_EQ(FindParameterFieldByControl(ParamOwner::kPage0, 1040), nullptr);  // baud rate
    EXPECT_EQ(FindParameterField(F::kCanNodeIndexGlobal), nullptr);
}

// ---- port function names -----------------------------------------------------------------------

TEST(PortFunctionNames, EachTextStartsWithItsCodePlusOne) {
    const auto& names = PortFunctionNames();
    for (std::size_t code = 0; code < names.size(); ++code) {
        const std::string prefix = std::to_string(code + 1) + ":";
        EXPECT_EQ(names[code].substr(0, prefix.size()), prefix) << names[code];
    }
}

TEST(PortFunctionNames, ExactTextsIncludingTheirTrailingBlanks) {
    struct Case {
        int code;
        std::string_view text;
    };
    const Case cases[] = {
        {0, "1:空 empty"},
        {1, "2:拨动一档 low_speed_switch "},
        {5, "6:拨动三档 high_speed_switch"},
        {38, "39:预充 pre_charger "},
        {42, "43:电机方向+180°change_motor_direct"},
        {43, "44:低档（低中S）_low_speed_switch_butten"},
        {47, "48:点动四档 four_egear "},
        {57, "58:P档检测 park_hold_dectet "},
        {74, "75:Vol_switch"},
        {75, "76:empty_func"},
        {117, "118:empty_func"},
        {118, "119:Limited_Slip_Differential"},
        {127, "128:A_CAN_ID"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortFunctionName(c.code), c.text) << "code " << c.code;
    int trailing = 0;
    for (std::string_view name : PortFunctionNames())
        trailing += name.back() == ' ';
    EXPECT_EQ(trailing, 4);
    EXPECT_EQ(PortFunctionName(-1), "");
    EXPECT_EQ(PortFunctionName(128), "");
}

// ---- formatting --------------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    std::function<void(ParameterValues&)> set;
    F field;
    std::string shown;
};

class FieldFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FieldFormatTest, ShowsTheValueAsItsControlDoes) {
    ParameterValues values;
    GetParam().set(values);
    EXPECT_EQ(FormatFieldValue(*FindParameterField(GetParam().field), values), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldFormatTest,
    testing::Values(
        FormatCase{"FloatWithoutTrailingZeros", [](auto& v) { v.m_page0.m_overVoltage = 60.8f; },
                   F::kOverVoltage, "60.8"},
        FormatCase{"FloatZero", [](auto&) {}, F::kOverVoltage, "0"},
        FormatCase{"FloatNegative", [](auto& v) { v.m_page0.m_underVoltage = -10.0f; },
                   F::kUnderVoltage, "-10"},
        FormatCase{"FloatSixSignificantDigits",
                   [](auto& v) { v.m_page0.m_throttleEnd = 123456789.0f; }, F::kThrottleEnd,
                   "1.23457e+08"},
        FormatCase{"VersionHundredths", [](auto& v) { v.m_page0.m_hwVersion = 0.05f; },
                   F::kHwVersion, "0.05"},
        FormatCase{"UnsignedFromNegative",
                   [](auto& v) { v.m_page3.m_pushAssistSpeed = static_cast<std::uint32_t>(-99); },
                   F::kPushAssistSpeed, "4294967197"},
        FormatCase{"Signed", [](auto& v) { v.m_page3.m_hallAngle = -60; }, F::kHallAngle, "-60"},
        FormatCase{"ListItem", [](auto& v) { v.m_page0.m_voltageIndex = 2; }, F::kVoltageCombo,
                   "72V"},
        FormatCase{"ListWithoutSelection", [](auto&) {}, F::kModelCombo, "(none)"},
        FormatCase{"BrandBeyondTheNamedOnes", [](auto& v) { v.m_page0.m_brandIndex = 15; },
                   F::kBrandCombo, "?\?-12"},
        FormatCase{"SoftStartLevelItemText", [](auto& v) { v.m_page1.m_softStartLevelIndex = 15; },
                   F::kSoftStartLevelCombo, "16"},
        FormatCase{"RadioButton", [](auto& v) { v.m_page1.m_defaultGear = 2; }, F::kDefaultGear,
                   "High"},
        FormatCase{"RadioWithoutButton", [](auto& v) { v.m_page1.m_defaultGear = 3; },
                   F::kDefaultGear, "(none)"},
        FormatCase{"CheckBoxChecked", [](auto& v) { v.m_page3.m_cruiseCheck = true; },
                   F::kCruiseCheck, "1"},
        FormatCase{"CheckBoxClear", [](auto&) {}, F::kCruiseCheck, "0"},
        FormatCase{"PinAtStart", [](auto&) {}, PinField(0), "1:空 empty / - / F"},
        FormatCase{"PinFunctionFlagsAndMode",
                   [](auto& v) {
                       v.m_portPage.m_pins[3] = {5, true, false, true, 1};
                   },
                   PinField(3), "6:拨动三档 high_speed_switch / IO LA / U"},
        FormatCase{"PinKeepsTheNamesTrailingBlank",
                   [](auto& v) {
                       v.m_portPage.m_pins[1] = {1, false, true, false, 2};
                   },
                   PinField(1), "2:拨动一档 low_speed_switch  / SW / D"},
        FormatCase{"PinAllBitsSet",
                   [](auto& v) {
                       v.m_portPage.m_pins[15] = {127, true, true, true, 3};
                   },
                   PinField(15), "128:A_CAN_ID / IO SW LA / -"},
        FormatCase{"PinTypedOver", [](auto& v) { v.m_portPage.m_pins[0].m_functionIndex = -1; },
                   PinField(0), "(none) / - / F"},
        FormatCase{"EditTextAsTyped", [](auto& v) { v.m_mainWindow.m_fieldWeakeningText = "12.9"; },
                   F::kFieldWeakeningText, "12.9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FieldFormat, DecimalPointIgnoresTheLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string shown = FormatFloatValue(52.5f);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(shown, "52.5");
}

TEST(FieldFormat, ChoiceIndexForTheWindowsOwnTexts) {
    ParameterValues values;
    values.m_page3.m_outputType = 1;
    values.m_page1.m_hillHoldCheck = true;
    EXPECT_EQ(ChoiceIndex(*FindParameterField(F::kOutputType), values), 1);
    EXPECT_EQ(ChoiceIndex(*FindParameterField(F::kHillHoldCheck), values), 1);
    EXPECT_EQ(ChoiceIndex(*FindParameterField(F::kVoltageCombo), values), kNoSelection);
    EXPECT_EQ(ChoiceIndex(*FindParameterField(F::kOverVoltage), values), std::nullopt);
}

// ---- comparing value sets ----------------------------------------------------------------------

struct ChangeCase {
    const char* name;
    std::function<void(ParameterValues&)> change;
    F field;
    std::string before;
    std::string after;
};

class DiffValuesTest : public testing::TestWithParam<ChangeCase> {};

TEST_P(DiffValuesTest, ListsTheOneChangedFieldWithBothValues) {
    const ChangeCase& c = GetParam();
    ParameterValues before;
    before.m_page0.m_overVoltage = 60.8f;
    before.m_page0.m_voltageIndex = 0;
    before.m_mainWindow.SetFieldWeakening(37);
    ParameterValues after = before;
    c.change(after);

    const std::vector<FieldDifference> diff = DiffParameterValues(before, after);

    ASSERT_EQ(diff.size(), 1u);
    EXPECT_EQ(diff[0].m_field->m_id, c.field);
    EXPECT_EQ(diff[0].m_first, c.before);
    EXPECT_EQ(diff[0].m_second, c.after);
    // The other way round, the same field with the values swapped.
    const std::vector<FieldDifference> back = DiffParameterValues(after, before);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].m_first, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    EachPage, DiffValuesTest,
    testing::Values(
        ChangeCase{"Page1Float", [](auto& v) { v.m_page0.m_overVoltage = 72.5f; }, F::kOverVoltage,
                   "60.8", "72.5"},
        ChangeCase{"Page1List", [](auto& v) { v.m_page0.m_voltageIndex = kNoSelection; },
                   F::kVoltageCombo, "48V", "(none)"},
        ChangeCase{"Page2Unsigned", [](auto& v) { v.m_page1.m_maxRpm = 5100; }, F::kMaxRpm, "0",
                   "5100"},
        ChangeCase{"Page2Radio", [](auto& v) { v.m_page1.m_defaultGear = 1; }, F::kDefaultGear,
                   "Low", "Mid"},
        ChangeCase{"Page2CheckShownOnPage2ButCarriedInBlock3",
                   [](auto& v) { v.m_page1.m_autoExitCheck = true; }, F::kAutoExitCheck, "0", "1"},
        ChangeCase{"Page3Signed", [](auto& v) { v.m_page3.m_hallAngle = -60; }, F::kHallAngle, "0",
                   "-60"},
        ChangeCase{"Page3HiddenTemperature",
                   [](auto& v) { v.m_page3.m_controllerTempProtect = 90; },
                   F::kControllerTempProtect, "444", "90"},
        ChangeCase{"PortPageModeOnly", [](auto& v) { v.m_portPage.m_pins[9].m_pinMode = 2; },
                   PinField(9), "1:空 empty / - / F", "1:空 empty / - / D"},
        ChangeCase{"MainWindowCoefficient",
                   [](auto& v) { v.m_mainWindow.m_fieldWeakeningText = "40"; },
                   F::kFieldWeakeningText, "37", "40"},
        ChangeCase{"MainWindowCalibration",
                   [](auto& v) { v.m_mainWindow.m_voltageCalibValue = 5123; },
                   F::kVoltageCalibValue, "0", "5123"},
        // Shows as 60.8 either way, but would be written as 607 instead of 608.
        ChangeCase{"FloatBeyondItsShownDigits",
                   [](auto& v) { v.m_page0.m_overVoltage = 60.79998f; }, F::kOverVoltage, "60.8",
                   "60.8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DiffValues, EqualSetsListNothing) {
    EXPECT_TRUE(DiffParameterValues({}, {}).empty());
    std::mt19937 rng(11);
    const ParameterValues shown = ShownParameterValues(RandomParameterBlock(rng));
    EXPECT_TRUE(DiffParameterValues(shown, shown).empty());
    ParameterValues nan;
    nan.m_page0.m_throttleStart = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(DiffParameterValues(nan, nan).empty());
}

// Radio values without a button and the pin modes 3 and -1 look alike and encode alike.
TEST(DiffValues, ValuesThatShowAlikeAreAlike) {
    ParameterValues a;
    ParameterValues b;
    a.m_page1.m_defaultGear = 3;
    b.m_page1.m_defaultGear = -1;
    a.m_portPage.m_pins[2].m_pinMode = 3;
    b.m_portPage.m_pins[2].m_pinMode = -1;
    EXPECT_TRUE(DiffParameterValues(a, b).empty());
}

TEST(DiffValues, SeveralChangesComeInTableOrder) {
    ParameterValues a;
    ParameterValues b;
    b.m_mainWindow.m_currentCalibValue = 1;
    b.m_portPage.m_pins[0].m_ioCheck = true;
    b.m_page3.m_polePairs = 7;
    b.m_page1.m_mtpa = 15;
    b.m_page0.m_fallSlope = 80;
    b.m_page0.m_modelIndex = 4;

    std::vector<F> ids;
    for (const FieldDifference& d : DiffParameterValues(a, b))
        ids.push_back(d.m_field->m_id);

    EXPECT_EQ(ids, (std::vector<F>{F::kModelCombo, F::kFallSlope, F::kMtpa, F::kPolePairs,
                                   PinField(0), F::kCurrentCalibValue}));
}

// ---- comparing blocks --------------------------------------------------------------------------

class DiffBlocksTest : public ParamsTest {
protected:
    static ParameterBlock Factory() {
        ParameterBlock b{};
        b[0] = BlockWith({{5, 10}, {6, 0x01}, {7, 0x02}, {8, 0x60}, {18, 0x14}, {19, 0x03}});
        b[1] = BlockWith({{16, 0x04}, {18, 12}});
        b[2] = BlockWith({{10, 0x01}, {11, 0xBC}, {18, 4}, {20, 123}, {21, 5}});
        b[4] = BlockWith({{5, 0x0A}, {6, 0x85}, {21, 37}});
        b[6] = BlockWith({{5, 60}, {6, 230}});
        return b;
    }
    static std::uint8_t& Byte(ParameterBlock& b, int block, int byte) {
        return b[block - 1][byte - kBlockFirstByte];
    }
};

TEST_F(DiffBlocksTest, BytesNoControlShowsDoNotCount) {
    const ParameterBlock a = Factory();
    ParameterBlock b = a;
    Byte(b, 4, 21) = 99;     // written from the main window's edit, never read back
    Byte(b, 6, 21) = 0x5A;   // the cable's node and bit rate
    Byte(b, 3, 17) |= 0x07;  // undecoded flag bits
    Byte(b, 4, 5) |= 0x80;
    for (int byte = 15; byte <= 21; ++byte)
        Byte(b, 7, byte) = static_cast<std::uint8_t>(byte * 11);
    Byte(b, 5, 5) |= 0x30;  // pin word bits 12-15

    EXPECT_TRUE(DiffParameterBlocks(a, b).empty());
}

TEST_F(DiffBlocksTest, UnknownModelCodeShowsAsTheFirstModel) {
    ParameterBlock a = Factory();
    ParameterBlock b = a;
    Byte(a, 1, 5) = 5;
    Byte(b, 1, 5) = 25;
    EXPECT_TRUE(DiffParameterBlocks(a, b).empty());
}

TEST_F(DiffBlocksTest, ListsShownValuesDecodedFromEveryBlock) {
    const ParameterBlock a = Factory();
    ParameterBlock b = a;
    Byte(b, 1, 6) = 0x27;   // no voltage selection, brand 2
    Byte(b, 1, 18) = 0x14;  // voltage calibration 0x1404
    Byte(b, 1, 19) = 0x04;
    Byte(b, 2, 16) = 0x06;  // default gear stays "Mid": bit 2 wins
    Byte(b, 2, 18) = 16;
    Byte(b, 3, 5) = 0xFF;  // Hall angle -60
    Byte(b, 3, 6) = 0xC4;
    Byte(b, 4, 6) = 0x80;  // push assist -99 as an unsigned field
    Byte(b, 5, 5) = 0xFF;  // pin PD0 word 0xFFFF
    Byte(b, 5, 6) = 0xFF;
    Byte(b, 5, 21) = 40;  // coefficient the main window takes over
    Byte(b, 7, 5) = 0;

    std::vector<std::tuple<F, std::string, std::string>> got;
    for (const FieldDifference& d : DiffParameterBlocks(a, b))
        got.emplace_back(d.m_field->m_id, d.m_first, d.m_second);

    const std::vector<std::tuple<F, std::string, std::string>> expected = {
        {F::kVoltageCombo, "60V", "(none)"},
        {F::kBrandCombo, "common", "lima"},
        {F::kThrottleStart, "1.31", "0.02"},
        {F::kSoftStartLevelCombo, "12", "16"},
        {F::kHallAngle, "0", "-60"},
        {F::kPushAssistSpeed, "0", "4294967197"},
        {PinField(0), "6:拨动三档 high_speed_switch / IO LA / U", "128:A_CAN_ID / IO SW LA / -"},
        {F::kVoltageCalibValue, "5123", "5124"},
        {F::kFieldWeakeningText, "37", "40"},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(DiffBlocksTest, LooksWithoutTouchingTheProgramsState) {
    std::mt19937 rng(5);
    const ParameterBlock a = RandomParameterBlock(rng);
    const ParameterBlock b = RandomParameterBlock(rng);
    const ParamWriteFrames frames = g_paramWriteFrames;

    DiffParameterBlocks(a, b);

    EXPECT_EQ(g_paramWriteFrames, frames);
    EXPECT_EQ(g_voltageCalib.load(), 0);
    EXPECT_EQ(g_fieldWeakeningCoef.load(), 0);
    EXPECT_EQ(g_canCableFlags.load(), 0);
    EXPECT_EQ(g_calibReceived.load(), 1);
    EXPECT_EQ(g_paramCheckText.Get(), "");
}

// The values compared are the ones the window shows after a connect or an import of the set.
TEST_F(DiffBlocksTest, ShownValuesAreWhatConnectAndImportShow) {
    std::mt19937 rng(23);
    for (int round = 0; round < 50; ++round) {
        const ParameterBlock blocks = RandomParameterBlock(rng);
        const ParameterValues shown = ShownParameterValues(blocks);

        ParameterValues connected;
        DecodeParameterBlocks(connected, blocks);
        ASSERT_TRUE(TakeOverCalibrationIfReceived(connected.m_mainWindow));
        EXPECT_EQ(shown, connected);

        ParamWriteFrames frames = InitialParamWriteFrames();
        for (int n = 0; n < kBlockCount; ++n)
            std::copy(blocks[n].begin(), blocks[n].end(), frames[n].begin() + kBlockFirstByte);
        ParameterValues imported;
        ASSERT_TRUE(ImportConfiguration(FormatConfiguration(frames), imported).m_imported);
        EXPECT_EQ(shown, imported);
        ResetParameterState();
    }
}

}  // namespace
