#include "core/params/block_layout.h"

namespace {

using F = ParamField;
using C = Coding;
using V = Conversion;

constexpr LayoutRow Split(int block, int byte, Coding coding, Conversion conversion,
                          ParamField decodeTo, ParamField encodeFrom) {
    return {static_cast<std::uint8_t>(block),
            static_cast<std::uint8_t>(byte),
            coding,
            0,
            conversion,
            decodeTo,
            encodeFrom,
            0};
}
constexpr LayoutRow Row(int block, int byte, Coding coding, Conversion conversion,
                        ParamField both) {
    return Split(block, byte, coding, conversion, both, both);
}
constexpr LayoutRow Bit(int block, int byte, int bit, Conversion conversion, ParamField both,
                        int choice = 0) {
    return {static_cast<std::uint8_t>(block),
            static_cast<std::uint8_t>(byte),
            C::kBit,
            static_cast<std::uint8_t>(bit),
            conversion,
            both,
            both,
            static_cast<std::int8_t>(choice)};
}
constexpr ParamField Pin(int i) {
    return static_cast<ParamField>(static_cast<int>(F::kPin0) + i);
}

constexpr LayoutRow kLayout[] = {
    // Block 1: page 1 basic settings and the calibration values.
    Row(1, 5, C::kU8, V::kModelCode, F::kModelCombo),
    Row(1, 6, C::kLowNibble, V::kVoltageIndex, F::kVoltageCombo),
    Row(1, 6, C::kHighNibble, V::kAsIs, F::kBrandCombo),
    Row(1, 7, C::kS16, V::kTenths, F::kOverVoltage),
    Row(1, 9, C::kS16, V::kTenths, F::kSoftUnderVoltage),
    Row(1, 11, C::kU8, V::kTenths, F::kUnderVoltageHysteresis),
    Row(1, 12, C::kU16, V::kAsIs, F::kRegenCurrentLimit),
    Row(1, 14, C::kU16, V::kAsIs, F::kPhaseCurrentLimit),
    Row(1, 16, C::kS16, V::kTenths, F::kUnderVoltage),
    Split(1, 18, C::kU16, V::kAsIs, F::kVoltageCalibGlobal, F::kVoltageCalibValue),
    Split(1, 20, C::kU16, V::kAsIs, F::kCurrentCalibGlobal, F::kCurrentCalibValue),
    // Block 2: page 2, the motor noise reduction and the motor type of page 3.
    Row(2, 5, C::kS16, V::kAsIs, F::kBusCurrentMax),
    Row(2, 7, C::kU8, V::kAsIs, F::kLowSpeedRatio),
    Row(2, 8, C::kU8, V::kAsIs, F::kMidSpeedRatio),
    Row(2, 9, C::kU8, V::kAsIs, F::kHighSpeedRatio),
    Row(2, 10, C::kS16, V::kAsIs, F::kFluxWeakening),
    Row(2, 12, C::kS16, V::kAsIs, F::kCurrentKp),
    Row(2, 14, C::kS16, V::kAsIs, F::kStartPhaseCurrent),
    Bit(2, 16, 7, V::kChecked, F::kSoftStartCheck),
    Bit(2, 16, 6, V::kChecked, F::kNoiseReductionCheck),
    Bit(2, 16, 5, V::kValueNonZero, F::kThreeSpeedMode),
    Bit(2, 16, 4, V::kValueIsBit, F::kMotorType),
    Bit(2, 16, 3, V::kChoice, F::kDefaultGear, 0),
    Bit(2, 16, 2, V::kChoice, F::kDefaultGear, 1),
    Bit(2, 16, 1, V::kChoice, F::kDefaultGear, 2),
    Bit(2, 16, 0, V::kChecked, F::kSpeedLimitCheck),
    Row(2, 17, C::kU8, V::kAsIs, F::kSpeedLimitRatio),
    Row(2, 18, C::kU8, V::kSoftStartLevel, F::kSoftStartLevelCombo),
    Row(2, 19, C::kU8, V::kAsIs, F::kSExitTime),
    Row(2, 20, C::kU8, V::kAsIs, F::kSRecoveryTime),
    Row(2, 21, C::kU8, V::kAsIs, F::kMtpa),
    // Block 3: page 3 and the version numbers.
    Row(3, 5, C::kS16, V::kAsIs, F::kHallAngle),
    Row(3, 7, C::kU8, V::kAsIs, F::kMotorTempStart),
    Row(3, 8, C::kU8, V::kAsIs, F::kMotorTempOver),
    Row(3, 9, C::kU8, V::kAsIs, F::kMotorTempMax),
    Row(3, 10, C::kS16, V::kAsIs, F::kControllerTempProtect),
    Row(3, 12, C::kS16, V::kAsIs, F::kDampingFactor),
    Row(3, 14, C::kS16, V::kAsIs, F::kSpeedDisplayAdjust),
    Row(3, 16, C::kU8, V::kAsIs, F::kReverseSpeedRatio),
    Bit(3, 17, 7, V::kValueIsBit, F::kDirection),
    Bit(3, 17, 6, V::kChecked, F::kAutoExitCheck),
    Bit(3, 17, 5, V::kChecked, F::kHallSwapCheck),
    Bit(3, 17, 4, V::kChecked, F::kPhaseSwapCheck),
    Bit(3, 17, 3, V::kChecked, F::kHillHoldCheck),
    Row(3, 18, C::kU8, V::kAsIs, F::kPolePairs),
    Row(3, 19, C::kU8, V::kAsIs, F::kEbsRatio),
    Row(3, 20, C::kU8, V::kHundredths, F::kSwVersion),
    Row(3, 21, C::kU8, V::kHundredths, F::kHwVersion),
    // Block 4: the rest of pages 2 and 3; byte 21 carries the main window's coefficient.
    Bit(4, 5, 0, V::kChecked, F::kPushAssistCheck),
    Bit(4, 5, 1, V::kChecked, F::kConstantSpeedCheck),
    Bit(4, 5, 2, V::kValueIsNotBit, F::kOutputType),
    Bit(4, 5, 3, V::kChecked, F::kCruiseCheck),
    Bit(4, 5, 4, V::kChecked, F::kDualVoltageCheck),
    Bit(4, 5, 5, V::kValueIsBit, F::kDualVoltageLevel),
    Bit(4, 5, 6, V::kChecked, F::kSafeStartCheck),
    Row(4, 6, C::kS16, V::kPushAssist, F::kPushAssistSpeed),
    Row(4, 8, C::kS16, V::kAsIs, F::kPushAssistTorque),
    Row(4, 10, C::kS16, V::kAsIs, F::kMaxRpm),
    Row(4, 12, C::kU8, V::kAsIs, F::kLowSpeedCurrent),
    Row(4, 13, C::kU8, V::kAsIs, F::kMidSpeedCurrent),
    Row(4, 14, C::kU8, V::kAsIs, F::kOverModulation),
    Row(4, 15, C::kS16, V::kAsIs, F::kCurrentKi),
    Row(4, 17, C::kS16, V::kAsIs, F::kLimitPhaseCurrent),
    Row(4, 19, C::kS16, V::kAsIs, F::kCapProtectTime),
    Split(4, 21, C::kU8, V::kFieldWeakening, F::kNone, F::kFieldWeakeningText),
    // Blocks 5 and 6: eight pin words each; byte 21 goes to the decoder's globals only.
    Row(5, 5, C::kU16, V::kPinWord, Pin(0)),
    Row(5, 7, C::kU16, V::kPinWord, Pin(1)),
    Row(5, 9, C::kU16, V::kPinWord, Pin(2)),
    Row(5, 11, C::kU16, V::kPinWord, Pin(3)),
    Row(5, 13, C::kU16, V::kPinWord, Pin(4)),
    Row(5, 15, C::kU16, V::kPinWord, Pin(5)),
    Row(5, 17, C::kU16, V::kPinWord, Pin(6)),
    Row(5, 19, C::kU16, V::kPinWord, Pin(7)),
    Split(5, 21, C::kU8, V::kAsIs, F::kFieldWeakeningCoefGlobal, F::kNone),
    Row(6, 5, C::kU16, V::kPinWord, Pin(8)),
    Row(6, 7, C::kU16, V::kPinWord, Pin(9)),
    Row(6, 9, C::kU16, V::kPinWord, Pin(10)),
    Row(6, 11, C::kU16, V::kPinWord, Pin(11)),
    Row(6, 13, C::kU16, V::kPinWord, Pin(12)),
    Row(6, 15, C::kU16, V::kPinWord, Pin(13)),
    Row(6, 17, C::kU16, V::kPinWord, Pin(14)),
    Row(6, 19, C::kU16, V::kPinWord, Pin(15)),
    Split(6, 21, C::kLowNibble, V::kAsIs, F::kCanNodeIndexGlobal, F::kNone),
    Split(6, 21, C::kHighNibble, V::kAsIs, F::kCanCableFlagsGlobal, F::kNone),
    // Block 7: throttle voltages and start settings of page 1; bytes 15..21 are kept as received.
    Row(7, 5, C::kU8, V::kThrottleVolts, F::kThrottleStart),
    Row(7, 6, C::kU8, V::kThrottleVolts, F::kThrottleEnd),
    Row(7, 7, C::kU8, V::kThrottleVolts, F::kThrottleLowProtect),
    Row(7, 8, C::kU8, V::kThrottleVolts, F::kThrottleHighProtect),
    Row(7, 9, C::kU8, V::kAsIs, F::kFallSlope),
    Row(7, 10, C::kU8, V::kAsIs, F::kRiseSlope),
    Row(7, 11, C::kU16, V::kAsIs, F::kStartTorque),
    Row(7, 13, C::kU16, V::kAsIs, F::kEngageTorque),
};

constexpr CheckRange kCheckRanges[] = {
    {1, 5, 17, 0}, {2, 5, 21, 0}, {3, 5, 21, 17}, {4, 5, 20, 0},
    {5, 5, 21, 0}, {6, 5, 20, 0}, {7, 5, 14, 0},
};

constexpr std::array<PinControls, 16> kPins = {{
    {"PD0", 1046, 1181, 1182, 1053, 1051, 1052, 1043},
    {"JTCK", 1183, 1184, 1185, 1077, 1075, 1076, 1073},
    {"SWD", 1189, 1190, 1191, 1083, 1081, 1082, 1079},
    {"PA11", 1186, 1187, 1188, 1089, 1087, 1088, 1085},
    {"PB3", 1192, 1193, 1194, 1095, 1093, 1094, 1091},
    {"PD1", 1195, 1196, 1197, 1101, 1099, 1100, 1097},
    {"PA12", 1201, 1202, 1203, 1107, 1105, 1106, 1103},
    {"PC15", 1198, 1199, 1200, 1113, 1111, 1112, 1109},
    {"PA0", 1216, 1217, 1218, 1119, 1117, 1118, 1115},
    {"PB9", 1219, 1220, 1221, 1125, 1123, 1124, 1121},
    {"PB4", 1225, 1226, 1227, 1131, 1129, 1130, 1127},
    {"PA15", 1222, 1223, 1224, 1137, 1135, 1136, 1133},
    {"PB2", 1228, 1229, 1230, 1143, 1141, 1142, 1139},
    {"PC14", 1231, 1232, 1233, 1149, 1147, 1148, 1145},
    {"PB5", 1234, 1235, 1236, 1155, 1153, 1154, 1151},
    {"PD15(empty)", 1241, 1242, 1243, 1237, 1238, 1239, 1240},
}};

}  // namespace

std::span<const LayoutRow> BlockLayout() {
    return kLayout;
}

std::span<const CheckRange> CheckValueRanges() {
    return kCheckRanges;
}

const std::array<PinControls, 16>& PinControlTable() {
    return kPins;
}

ParamFieldInfo FieldInfo(ParamField field) {
    using O = ParamOwner;
    using K = ParamKind;
    if (IsPinField(field))
        return {O::kPortPage, K::kCombo, kPins[PinIndex(field)].m_functionBox};
    switch (field) {
        case F::kModelCombo:
            return {O::kPage0, K::kCombo, 1037};
        case F::kVoltageCombo:
            return {O::kPage0, K::kCombo, 1038};
        case F::kBrandCombo:
            return {O::kPage0, K::kCombo, 1039};
        case F::kOverVoltage:
            return {O::kPage0, K::kField, 1009};
        case F::kUnderVoltage:
            return {O::kPage0, K::kField, 1010};
        case F::kSoftUnderVoltage:
            return {O::kPage0, K::kField, 1011};
        case F::kUnderVoltageHysteresis:
            return {O::kPage0, K::kField, 1012};
        case F::kRegenCurrentLimit:
            return {O::kPage0, K::kField, 1013};
        case F::kPhaseCurrentLimit:
            return {O::kPage0, K::kField, 1014};
        case F::kSwVersion:
            return {O::kPage0, K::kField, 1050};
        case F::kHwVersion:
            return {O::kPage0, K::kField, 1057};
        case F::kThrottleLowProtect:
            return {O::kPage0, K::kField, 1019};
        case F::kThrottleStart:
            return {O::kPage0, K::kField, 1023};
        case F::kThrottleEnd:
            return {O::kPage0, K::kField, 1024};
        case F::kThrottleHighProtect:
            return {O::kPage0, K::kField, 1025};
        case F::kStartTorque:
            return {O::kPage0, K::kField, 1020};
        case F::kEngageTorque:
            return {O::kPage0, K::kField, 1026};
        case F::kRiseSlope:
            return {O::kPage0, K::kField, 1027};
        case F::kFallSlope:
            return {O::kPage0, K::kField, 1028};

        case F::kBusCurrentMax:
            return {O::kPage1, K::kField, 1009};
        case F::kFluxWeakening:
            return {O::kPage1, K::kField, 1010};
        case F::kCurrentKi:
            return {O::kPage1, K::kField, 1011};
        case F::kSExitTime:
            return {O::kPage1, K::kField, 1013};
        case F::kSRecoveryTime:
            return {O::kPage1, K::kField, 1022};
        case F::kSpeedLimitRatio:
            return {O::kPage1, K::kField, 1014};
        case F::kLowSpeedRatio:
            return {O::kPage1, K::kField, 1016};
        case F::kMidSpeedRatio:
            return {O::kPage1, K::kField, 1015};
        case F::kHighSpeedRatio:
            return {O::kPage1, K::kField, 1017};
        case F::kStartPhaseCurrent:
            return {O::kPage1, K::kField, 1019};
        case F::kCurrentKp:
            return {O::kPage1, K::kField, 1018};
        case F::kLowSpeedCurrent:
            return {O::kPage1, K::kField, 1025};
        case F::kMidSpeedCurrent:
            return {O::kPage1, K::kField, 1023};
        case F::kOverModulation:
            return {O::kPage1, K::kField, 1024};
        case F::kCapProtectTime:
            return {O::kPage1, K::kField, 1026};
        case F::kLimitPhaseCurrent:
            return {O::kPage1, K::kField, 1027};
        case F::kMaxRpm:
            return {O::kPage1, K::kField, 1020};
        case F::kMtpa:
            return {O::kPage1, K::kField, 1021};
        case F::kDefaultGear:
            return {O::kPage1, K::kRadio, 1044};
        case F::kThreeSpeedMode:
            return {O::kPage1, K::kRadio, 1040};
        case F::kSoftStartCheck:
            return {O::kPage1, K::kCheck, 1042};
        case F::kSpeedLimitCheck:
            return {O::kPage1, K::kCheck, 1043};
        case F::kAutoExitCheck:
            return {O::kPage1, K::kCheck, 1045};
        case F::kConstantSpeedCheck:
            return {O::kPage1, K::kCheck, 1046};
        case F::kHillHoldCheck:
            return {O::kPage1, K::kCheck, 1047};
        case F::kSoftStartLevelCombo:
            return {O::kPage1, K::kCombo, 1037};

        case F::kHallAngle:
            return {O::kPage3, K::kField, 1009};
        case F::kReverseSpeedRatio:
            return {O::kPage3, K::kField, 1010};
        case F::kEbsRatio:
            return {O::kPage3, K::kField, 1014};
        case F::kPolePairs:
            return {O::kPage3, K::kField, 1023};
        case F::kPushAssistSpeed:
            return {O::kPage3, K::kField, 1011};
        case F::kPushAssistTorque:
            return {O::kPage3, K::kField, 1012};
        case F::kMotorTempStart:
            return {O::kPage3, K::kField, 1013};
        case F::kMotorTempOver:
            return {O::kPage3, K::kField, 1018};
        case F::kMotorTempMax:
            return {O::kPage3, K::kField, 1019};
        case F::kControllerTempProtect:
            return {O::kPage3, K::kField, 1021};
        case F::kDampingFactor:
            return {O::kPage3, K::kField, 1020};
        case F::kSpeedDisplayAdjust:
            return {O::kPage3, K::kField, 1022};
        case F::kDirection:
            return {O::kPage3, K::kRadio, 1038};
        case F::kMotorType:
            return {O::kPage3, K::kRadio, 1047};
        case F::kOutputType:
            return {O::kPage3, K::kRadio, 1056};
        case F::kDualVoltageLevel:
            return {O::kPage3, K::kRadio, 1057};
        case F::kHallSwapCheck:
            return {O::kPage3, K::kCheck, 1042};
        case F::kPhaseSwapCheck:
            return {O::kPage3, K::kCheck, 1043};
        case F::kPushAssistCheck:
            return {O::kPage3, K::kCheck, 1044};
        case F::kNoiseReductionCheck:
            return {O::kPage3, K::kCheck, 1045};
        case F::kCruiseCheck:
            return {O::kPage3, K::kCheck, 1046};
        case F::kDualVoltageCheck:
            return {O::kPage3, K::kCheck, 1048};
        case F::kSafeStartCheck:
            return {O::kPage3, K::kCheck, 1049};

        case F::kVoltageCalibValue:
            return {O::kMainWindow, K::kField, 1010};
        case F::kCurrentCalibValue:
            return {O::kMainWindow, K::kField, 1011};
        case F::kFieldWeakeningText:
            return {O::kMainWindow, K::kField, 1012};
        default:
            return {O::kGlobal, K::kGlobal, 0};
    }
}
