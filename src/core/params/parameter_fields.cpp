#include "core/params/parameter_fields.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "core/params/parameter_codec.h"
#include "core/params/port_function_names.h"
#include "core/params/value_slot.h"

namespace {

using F = ParamField;
using Fmt = FieldFormat;

constexpr std::string_view kModels[] = {"Zerth-30S", "Zerth-50", "Zerth-100", "Zerth-150",
                                        "Zerth-200"};
constexpr std::string_view kVoltages[] = {"48V", "60V", "72V", "84V", "96V"};
// "?\?" keeps the compiler from reading a trigraph.
constexpr std::string_view kBrands[] = {
    "common", "lvyuan", "lima",  "lvjia", "lvjia-1", "guangyang", "?\?-3",  "?\?-4",
    "?\?-5",  "?\?-6",  "?\?-7", "?\?-8", "?\?-9",   "?\?-10",    "?\?-11", "?\?-12"};
constexpr std::string_view kSoftStartLevels[] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                                 "9", "10", "11", "12", "13", "14", "15", "16"};
constexpr std::string_view kGears[] = {"Low", "Mid", "High"};
constexpr std::string_view kThreeSpeedModes[] = {"Button 3 speed", "Switch 3 speed"};
constexpr std::string_view kDirections[] = {"FWD", "REV"};
constexpr std::string_view kMotorTypes[] = {"surface-mount", "V-type"};
constexpr std::string_view kOutputTypes[] = {"One-line", "Hall speedometer"};
constexpr std::string_view kVoltageLevels[] = {"Low", "High"};

constexpr ParameterField Field(ParamField id, std::string_view name, FieldFormat format) {
    return {id, name, format, {}};
}
constexpr ParameterField Choice(ParamField id, std::string_view name, FieldFormat format,
                                std::span<const std::string_view> choices) {
    return {id, name, format, choices};
}
constexpr ParameterField Pin(int i, std::string_view name) {
    return {PinField(i), name, Fmt::kPin, {}};
}

constexpr ParameterField kFields[] = {
    // Page 1
    Choice(F::kModelCombo, "Model", Fmt::kList, kModels),
    Choice(F::kVoltageCombo, "Battery voltage", Fmt::kList, kVoltages),
    Field(F::kOverVoltage, "Overvoltage (V)", Fmt::kFloat),
    Field(F::kUnderVoltage, "Undervoltage (V)", Fmt::kFloat),
    Field(F::kSoftUnderVoltage, "Soft undervoltage (V)", Fmt::kFloat),
    Field(F::kUnderVoltageHysteresis, "Undervoltage hysteresis (V)", Fmt::kFloat),
    Field(F::kRegenCurrentLimit, "Regenerative current (A)", Fmt::kUnsigned),
    Field(F::kPhaseCurrentLimit, "Phase current limit", Fmt::kUnsigned),
    Field(F::kSwVersion, "Software version", Fmt::kFloat),
    Field(F::kHwVersion, "Hardware version", Fmt::kFloat),
    Choice(F::kBrandCombo, "Brand", Fmt::kList, kBrands),
    Field(F::kThrottleLowProtect, "Throttle low protect (V)", Fmt::kFloat),
    Field(F::kThrottleHighProtect, "Throttle high protect (V)", Fmt::kFloat),
    Field(F::kThrottleStart, "Throttle start voltage (V)", Fmt::kFloat),
    Field(F::kThrottleEnd, "Throttle end voltage (V)", Fmt::kFloat),
    Field(F::kStartTorque, "Start torque", Fmt::kSigned),
    Field(F::kEngageTorque, "Engage torque", Fmt::kSigned),
    Field(F::kRiseSlope, "Rise slope", Fmt::kSigned),
    Field(F::kFallSlope, "Fall slope", Fmt::kSigned),
    // Page 2
    Field(F::kSoftStartCheck, "Soft start enabled", Fmt::kCheck),
    Field(F::kSpeedLimitCheck, "Speed limit enabled", Fmt::kCheck),
    Field(F::kBusCurrentMax, "Max bus current (A)", Fmt::kUnsigned),
    Field(F::kFluxWeakening, "Flux weakening", Fmt::kUnsigned),
    Field(F::kCurrentKi, "Current loop KI", Fmt::kUnsigned),
    Field(F::kSRecoveryTime, "S-gear recovery time (s)", Fmt::kUnsigned),
    Field(F::kSExitTime, "S-gear exit time (s)", Fmt::kUnsigned),
    Field(F::kSpeedLimitRatio, "Speed limit ratio (%)", Fmt::kUnsigned),
    Field(F::kLowSpeedRatio, "Low speed ratio (%)", Fmt::kUnsigned),
    Field(F::kMidSpeedRatio, "Mid speed ratio (%)", Fmt::kUnsigned),
    Field(F::kHighSpeedRatio, "High speed ratio (%)", Fmt::kUnsigned),
    Field(F::kLowSpeedCurrent, "Low speed current (%)", Fmt::kUnsigned),
    Field(F::kMidSpeedCurrent, "Mid speed current (%)", Fmt::kUnsigned),
    Field(F::kOverModulation, "Over modulation", Fmt::kUnsigned),
    Field(F::kStartPhaseCurrent, "Start phase current", Fmt::kUnsigned),
    Field(F::kCurrentKp, "Current loop KP", Fmt::kUnsigned),
    Field(F::kCapProtectTime, "Capacitor protect time", Fmt::kUnsigned),
    Field(F::kLimitPhaseCurrent, "Limit phase current", Fmt::kUnsigned),
    Choice(F::kDefaultGear, "Three-speed default gear", Fmt::kRadio, kGears),
    Choice(F::kThreeSpeedMode, "Three-speed mode", Fmt::kRadio, kThreeSpeedModes),
    Choice(F::kSoftStartLevelCombo, "Soft start level", Fmt::kList, kSoftStartLevels),
    Field(F::kAutoExitCheck, "S-gear automatic exit", Fmt::kCheck),
    Field(F::kConstantSpeedCheck, "Constant speed", Fmt::kCheck),
    Field(F::kMaxRpm, "Max limited RPM", Fmt::kUnsigned),
    Field(F::kMtpa, "MTPA", Fmt::kUnsigned),
    Field(F::kHillHoldCheck, "Hill hold (HHC)", Fmt::kCheck),
    // Page 3
    Field(F::kHallAngle, "Hall shift angle (deg)", Fmt::kSigned),
    Field(F::kPushAssistSpeed, "Push assist speed ratio (%)", Fmt::kUnsigned),
    Field(F::kPushAssistTorque, "Push assist torque", Fmt::kUnsigned),
    Field(F::kReverseSpeedRatio, "Reverse speed limit (%)", Fmt::kUnsigned),
    Field(F::kMotorTempStart, "Motor start protection temperature", Fmt::kUnsigned),
    Field(F::kMotorTempOver, "Motor over-temperature", Fmt::kUnsigned),
    Field(F::kMotorTempMax, "Motor max temperature", Fmt::kUnsigned),
    Field(F::kControllerTempProtect, "Controller temperature protection", Fmt::kUnsigned),
    Field(F::kDampingFactor, "Damping factor", Fmt::kUnsigned),
    Field(F::kSpeedDisplayAdjust, "Speed display / TCS sensitivity adjustment", Fmt::kUnsigned),
    Choice(F::kDirection, "Motor direction", Fmt::kRadio, kDirections),
    Field(F::kPolePairs, "Pole pairs", Fmt::kUnsigned),
    Field(F::kEbsRatio, "EBS ratio (%)", Fmt::kUnsigned),
    Choice(F::kMotorType, "Motor type", Fmt::kRadio, kMotorTypes),
    Choice(F::kOutputType, "Speedometer output", Fmt::kRadio, kOutputTypes),
    Choice(F::kDualVoltageLevel, "Dual-voltage initial level", Fmt::kRadio, kVoltageLevels),
    Field(F::kPushAssistCheck, "Push assist", Fmt::kCheck),
    Field(F::kNoiseReductionCheck, "Motor noise reduction", Fmt::kCheck),
    Field(F::kCruiseCheck, "Cruise", Fmt::kCheck),
    Field(F::kDualVoltageCheck, "Dual voltage", Fmt::kCheck),
    Field(F::kSafeStartCheck, "Safe start", Fmt::kCheck),
    Field(F::kHallSwapCheck, "Hall wire swap (yellow-blue)", Fmt::kCheck),
    Field(F::kPhaseSwapCheck, "Phase wire swap (blue-green)", Fmt::kCheck),
    // Port settings
    Pin(0, "Pin PD0"),
    Pin(1, "Pin JTCK"),
    Pin(2, "Pin SWD"),
    Pin(3, "Pin PA11"),
    Pin(4, "Pin PB3"),
    Pin(5, "Pin PD1"),
    Pin(6, "Pin PA12"),
    Pin(7, "Pin PC15"),
    Pin(8, "Pin PA0"),
    Pin(9, "Pin PB9"),
    Pin(10, "Pin PB4"),
    Pin(11, "Pin PA15"),
    Pin(12, "Pin PB2"),
    Pin(13, "Pin PC14"),
    Pin(14, "Pin PB5"),
    Pin(15, "Pin PD15(empty)"),
    // Main window
    Field(F::kVoltageCalibValue, "Voltage calibration", Fmt::kUnsigned),
    Field(F::kCurrentCalibValue, "Current calibration", Fmt::kUnsigned),
    Field(F::kFieldWeakeningText, "Field-weakening coefficient", Fmt::kText),
};

constexpr std::string_view kNone = "(none)";
constexpr char kModeLetters[] = {'F', 'U', 'D'};

std::string_view ChoiceText(const ParameterField& field, int index) {
    if (index < 0 || index >= static_cast<int>(field.m_choices.size()))
        return kNone;
    return field.m_choices[static_cast<std::size_t>(index)];
}

}  // namespace

std::span<const ParameterField> ParameterFields() {
    return kFields;
}

const ParameterField* FindParameterField(ParamField id) {
    for (const ParameterField& field : kFields)
        if (field.m_id == id)
            return &field;
    return nullptr;
}

const ParameterField* FindParameterFieldByControl(ParamOwner owner, int controlId) {
    if (owner == ParamOwner::kPortPage) {
        const auto& pins = PinControlTable();
        for (std::size_t i = 0; i < pins.size(); ++i) {
            const PinControls& p = pins[i];
            for (int id : {p.m_io, p.m_sw, p.m_la, p.m_f, p.m_u, p.m_d, p.m_functionBox})
                if (id == controlId)
                    return FindParameterField(PinField(static_cast<int>(i)));
        }
        return nullptr;
    }
    for (const ParameterField& field : kFields) {
        const ParamFieldInfo info = FieldInfo(field.m_id);
        if (info.m_owner == owner && info.m_controlId == controlId)
            return &field;
    }
    return nullptr;
}

std::string FormatFloatValue(float value) {
    // Room for "-1.23457e+38" and the like; to_chars ignores the locale, unlike printf.
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

std::string FormatPinValue(const PinValues& pin) {
    std::string text(pin.m_functionIndex < 0 ? kNone : PortFunctionName(pin.m_functionIndex));
    std::string flags;
    for (const auto& [set, name] : {std::pair{pin.m_ioCheck, "IO"}, std::pair{pin.m_swCheck, "SW"},
                                    std::pair{pin.m_laCheck, "LA"}}) {
        if (!set)
            continue;
        if (!flags.empty())
            flags += ' ';
        flags += name;
    }
    text += " / ";
    text += flags.empty() ? "-" : flags;
    text += " / ";
    text += pin.m_pinMode >= 0 && pin.m_pinMode <= 2 ? kModeLetters[pin.m_pinMode] : '-';
    return text;
}

std::optional<int> ChoiceIndex(const ParameterField& field, const ParameterValues& values) {
    const ConstValueSlot slot = SlotOf(values, field.m_id);
    switch (field.m_format) {
        case Fmt::kList:
        case Fmt::kRadio:
            return *slot.m_int;
        case Fmt::kCheck:
            return *slot.m_bool ? 1 : 0;
        default:
            return std::nullopt;
    }
}

std::string FormatFieldValue(const ParameterField& field, const ParameterValues& values) {
    const ConstValueSlot slot = SlotOf(values, field.m_id);
    switch (field.m_format) {
        case Fmt::kUnsigned:
            return std::to_string(*slot.m_unsigned);
        case Fmt::kSigned:
            return std::to_string(*slot.m_int);
        case Fmt::kFloat:
            return FormatFloatValue(*slot.m_float);
        case Fmt::kList:
        case Fmt::kRadio:
            return std::string(ChoiceText(field, *slot.m_int));
        case Fmt::kCheck:
            return *slot.m_bool ? "1" : "0";
        case Fmt::kPin:
            return FormatPinValue(*slot.m_pin);
        case Fmt::kText:
            return *slot.m_text;
    }
    return {};
}

std::vector<FieldDifference> DiffParameterValues(const ParameterValues& first,
                                                 const ParameterValues& second) {
    std::vector<FieldDifference> out;
    for (const ParameterField& field : kFields) {
        std::string a = FormatFieldValue(field, first);
        std::string b = FormatFieldValue(field, second);
        bool differs = a != b;
        if (!differs && field.m_format == Fmt::kFloat) {
            // 60.79998 shows as 60.8 but is written as 607, not 608.
            const float x = *SlotOf(first, field.m_id).m_float;
            const float y = *SlotOf(second, field.m_id).m_float;
            differs = x != y && !(std::isnan(x) && std::isnan(y));
        }
        if (differs)
            out.push_back({&field, std::move(a), std::move(b)});
    }
    return out;
}

ParameterValues ShownParameterValues(const ParameterBlock& blocks) {
    ParameterValues values;
    DecoderOutputs outputs;
    DecodeParameterBlocksDetached(values, outputs, blocks);
    values.m_mainWindow.m_voltageCalibValue = outputs.m_voltageCalib;
    values.m_mainWindow.m_currentCalibValue = outputs.m_currentCalib;
    values.m_mainWindow.SetFieldWeakening(outputs.m_fieldWeakeningCoef);
    return values;
}

std::vector<FieldDifference> DiffParameterBlocks(const ParameterBlock& first,
                                                 const ParameterBlock& second) {
    return DiffParameterValues(ShownParameterValues(first), ShownParameterValues(second));
}
