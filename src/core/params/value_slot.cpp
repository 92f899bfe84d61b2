#include "core/params/value_slot.h"

namespace {
using F = ParamField;
}  // namespace

ValueSlot SlotOf(ParameterValues& v, ParamField field) {
    Page0Values& p0 = v.m_page0;
    Page1Values& p1 = v.m_page1;
    Page3Values& p3 = v.m_page3;
    if (IsPinField(field))
        return {.m_pin = &v.m_portPage.m_pins[PinIndex(field)]};
    switch (field) {
        case F::kModelCombo:
            return {.m_int = &p0.m_modelIndex};
        case F::kVoltageCombo:
            return {.m_int = &p0.m_voltageIndex};
        case F::kBrandCombo:
            return {.m_int = &p0.m_brandIndex};
        case F::kOverVoltage:
            return {.m_float = &p0.m_overVoltage};
        case F::kSoftUnderVoltage:
            return {.m_float = &p0.m_softUnderVoltage};
        case F::kUnderVoltageHysteresis:
            return {.m_float = &p0.m_underVoltageHysteresis};
        case F::kRegenCurrentLimit:
            return {.m_unsigned = &p0.m_regenCurrentLimit};
        case F::kPhaseCurrentLimit:
            return {.m_unsigned = &p0.m_phaseCurrentLimit};
        case F::kUnderVoltage:
            return {.m_float = &p0.m_underVoltage};
        case F::kSwVersion:
            return {.m_float = &p0.m_swVersion};
        case F::kHwVersion:
            return {.m_float = &p0.m_hwVersion};
        case F::kThrottleStart:
            return {.m_float = &p0.m_throttleStart};
        case F::kThrottleEnd:
            return {.m_float = &p0.m_throttleEnd};
        case F::kThrottleLowProtect:
            return {.m_float = &p0.m_throttleLowProtect};
        case F::kThrottleHighProtect:
            return {.m_float = &p0.m_throttleHighProtect};
        case F::kFallSlope:
            return {.m_int = &p0.m_fallSlope};
        case F::kRiseSlope:
            return {.m_int = &p0.m_riseSlope};
        case F::kStartTorque:
            return {.m_int = &p0.m_startTorque};
        case F::kEngageTorque:
            return {.m_int = &p0.m_engageTorque};

        case F::kBusCurrentMax:
            return {.m_unsigned = &p1.m_busCurrentMax};
        case F::kLowSpeedRatio:
            return {.m_unsigned = &p1.m_lowSpeedRatio};
        case F::kMidSpeedRatio:
            return {.m_unsigned = &p1.m_midSpeedRatio};
        case F::kHighSpeedRatio:
            return {.m_unsigned = &p1.m_highSpeedRatio};
        case F::kFluxWeakening:
            return {.m_unsigned = &p1.m_fluxWeakening};
        case F::kCurrentKp:
            return {.m_unsigned = &p1.m_currentKp};
        case F::kStartPhaseCurrent:
            return {.m_unsigned = &p1.m_startPhaseCurrent};
        case F::kSpeedLimitRatio:
            return {.m_unsigned = &p1.m_speedLimitRatio};
        case F::kSoftStartLevelCombo:
            return {.m_int = &p1.m_softStartLevelIndex};
        case F::kSExitTime:
            return {.m_unsigned = &p1.m_sExitTime};
        case F::kSRecoveryTime:
            return {.m_unsigned = &p1.m_sRecoveryTime};
        case F::kMtpa:
            return {.m_unsigned = &p1.m_mtpa};
        case F::kMaxRpm:
            return {.m_unsigned = &p1.m_maxRpm};
        case F::kLowSpeedCurrent:
            return {.m_unsigned = &p1.m_lowSpeedCurrent};
        case F::kMidSpeedCurrent:
            return {.m_unsigned = &p1.m_midSpeedCurrent};
        case F::kOverModulation:
            return {.m_unsigned = &p1.m_overModulation};
        case F::kCurrentKi:
            return {.m_unsigned = &p1.m_currentKi};
        case F::kLimitPhaseCurrent:
            return {.m_unsigned = &p1.m_limitPhaseCurrent};
        case F::kCapProtectTime:
            return {.m_unsigned = &p1.m_capProtectTime};
        case F::kSoftStartCheck:
            return {.m_bool = &p1.m_softStartCheck};
        case F::kSpeedLimitCheck:
            return {.m_bool = &p1.m_speedLimitCheck};
        case F::kAutoExitCheck:
            return {.m_bool = &p1.m_autoExitCheck};
        case F::kConstantSpeedCheck:
            return {.m_bool = &p1.m_constantSpeedCheck};
        case F::kHillHoldCheck:
            return {.m_bool = &p1.m_hillHoldCheck};
        case F::kThreeSpeedMode:
            return {.m_int = &p1.m_threeSpeedMode};
        case F::kDefaultGear:
            return {.m_int = &p1.m_defaultGear};

        case F::kHallAngle:
            return {.m_int = &p3.m_hallAngle};
        case F::kMotorTempStart:
            return {.m_unsigned = &p3.m_motorTempStart};
        case F::kMotorTempOver:
            return {.m_unsigned = &p3.m_motorTempOver};
        case F::kMotorTempMax:
            return {.m_unsigned = &p3.m_motorTempMax};
        case F::kControllerTempProtect:
            return {.m_unsigned = &p3.m_controllerTempProtect};
        case F::kDampingFactor:
            return {.m_unsigned = &p3.m_dampingFactor};
        case F::kSpeedDisplayAdjust:
            return {.m_unsigned = &p3.m_speedDisplayAdjust};
        case F::kReverseSpeedRatio:
            return {.m_unsigned = &p3.m_reverseSpeedRatio};
        case F::kPolePairs:
            return {.m_unsigned = &p3.m_polePairs};
        case F::kEbsRatio:
            return {.m_unsigned = &p3.m_ebsRatio};
        case F::kPushAssistSpeed:
            return {.m_unsigned = &p3.m_pushAssistSpeed};
        case F::kPushAssistTorque:
            return {.m_unsigned = &p3.m_pushAssistTorque};
        case F::kDirection:
            return {.m_int = &p3.m_direction};
        case F::kMotorType:
            return {.m_int = &p3.m_motorType};
        case F::kOutputType:
            return {.m_int = &p3.m_outputType};
        case F::kDualVoltageLevel:
            return {.m_int = &p3.m_dualVoltageLevel};
        case F::kHallSwapCheck:
            return {.m_bool = &p3.m_hallSwapCheck};
        case F::kPhaseSwapCheck:
            return {.m_bool = &p3.m_phaseSwapCheck};
        case F::kPushAssistCheck:
            return {.m_bool = &p3.m_pushAssistCheck};
        case F::kNoiseReductionCheck:
            return {.m_bool = &p3.m_noiseReductionCheck};
        case F::kCruiseCheck:
            return {.m_bool = &p3.m_cruiseCheck};
        case F::kDualVoltageCheck:
            return {.m_bool = &p3.m_dualVoltageCheck};
        case F::kSafeStartCheck:
            return {.m_bool = &p3.m_safeStartCheck};

        case F::kVoltageCalibValue:
            return {.m_unsigned = &v.m_mainWindow.m_voltageCalibValue};
        case F::kCurrentCalibValue:
            return {.m_unsigned = &v.m_mainWindow.m_currentCalibValue};
        case F::kFieldWeakeningText:
            return {.m_text = &v.m_mainWindow.m_fieldWeakeningText};
        default:
            return {};
    }
}

ConstValueSlot SlotOf(const ParameterValues& values, ParamField field) {
    // One map for both: the const overload only hands out read-only pointers.
    const ValueSlot s = SlotOf(const_cast<ParameterValues&>(values), field);
    return {s.m_float, s.m_int, s.m_unsigned, s.m_bool, s.m_pin, s.m_text};
}
