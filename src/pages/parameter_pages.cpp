#include "pages/parameter_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <initializer_list>

#include "core/params/value_slot.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage5.h"
#include "pages/cpage6.h"

namespace {

using F = ParamField;

// Every value a page shows, in ParamField order: the pages' part of the set.
constexpr bool IsPageValue(ParamField field) {
    return field > F::kNone && field <= F::kPin15;
}

// The page field holding `field` (numbers and radio choices); nothing for controls.
ValueSlot FieldSlot(Cpage0& p0, Cpage1& p1, Cpage3& p3, ParamField field) {
    ValueSlot slot;
    switch (field) {
        case F::kOverVoltage:
            slot.m_float = &p0.m_overVoltage;
            break;
        case F::kSoftUnderVoltage:
            slot.m_float = &p0.m_softUnderVoltage;
            break;
        case F::kUnderVoltageHysteresis:
            slot.m_float = &p0.m_underVoltageHysteresis;
            break;
        case F::kRegenCurrentLimit:
            slot.m_unsigned = &p0.m_regenCurrentLimit;
            break;
        case F::kPhaseCurrentLimit:
            slot.m_unsigned = &p0.m_phaseCurrentLimit;
            break;
        case F::kUnderVoltage:
            slot.m_float = &p0.m_underVoltage;
            break;
        case F::kSwVersion:
            slot.m_float = &p0.m_swVersion;
            break;
        case F::kHwVersion:
            slot.m_float = &p0.m_hwVersion;
            break;
        case F::kThrottleStart:
            slot.m_float = &p0.m_throttleStart;
            break;
        case F::kThrottleEnd:
            slot.m_float = &p0.m_throttleEnd;
            break;
        case F::kThrottleLowProtect:
            slot.m_float = &p0.m_throttleLowProtect;
            break;
        case F::kThrottleHighProtect:
            slot.m_float = &p0.m_throttleHighProtect;
            break;
        case F::kFallSlope:
            slot.m_int = &p0.m_fallSlope;
            break;
        case F::kRiseSlope:
            slot.m_int = &p0.m_riseSlope;
            break;
        case F::kStartTorque:
            slot.m_int = &p0.m_startTorque;
            break;
        case F::kEngageTorque:
            slot.m_int = &p0.m_engageTorque;
            break;

        case F::kBusCurrentMax:
            slot.m_unsigned = &p1.m_busCurrentMax;
            break;
        case F::kLowSpeedRatio:
            slot.m_unsigned = &p1.m_lowSpeedRatio;
            break;
        case F::kMidSpeedRatio:
            slot.m_unsigned = &p1.m_midSpeedRatio;
            break;
        case F::kHighSpeedRatio:
            slot.m_unsigned = &p1.m_highSpeedRatio;
            break;
        case F::kFluxWeakening:
            slot.m_unsigned = &p1.m_fluxWeakening;
            break;
        case F::kCurrentKp:
            slot.m_unsigned = &p1.m_currentKp;
            break;
        case F::kStartPhaseCurrent:
            slot.m_unsigned = &p1.m_startPhaseCurrent;
            break;
        case F::kSpeedLimitRatio:
            slot.m_unsigned = &p1.m_speedLimitRatio;
            break;
        case F::kSExitTime:
            slot.m_unsigned = &p1.m_sExitTime;
            break;
        case F::kSRecoveryTime:
            slot.m_unsigned = &p1.m_sRecoveryTime;
            break;
        case F::kMtpa:
            slot.m_unsigned = &p1.m_mtpa;
            break;
        case F::kMaxRpm:
            slot.m_unsigned = &p1.m_maxRpm;
            break;
        case F::kLowSpeedCurrent:
            slot.m_unsigned = &p1.m_lowSpeedCurrent;
            break;
        case F::kMidSpeedCurrent:
            slot.m_unsigned = &p1.m_midSpeedCurrent;
            break;
        case F::kOverModulation:
            slot.m_unsigned = &p1.m_overModulation;
            break;
        case F::kCurrentKi:
            slot.m_unsigned = &p1.m_currentKi;
            break;
        case F::kLimitPhaseCurrent:
            slot.m_unsigned = &p1.m_limitPhaseCurrent;
            break;
        case F::kCapProtectTime:
            slot.m_unsigned = &p1.m_capProtectTime;
            break;
        case F::kThreeSpeedMode:
            slot.m_int = &p1.m_threeSpeedMode;
            break;
        case F::kDefaultGear:
            slot.m_int = &p1.m_defaultGear;
            break;

        case F::kHallAngle:
            slot.m_int = &p3.m_hallAngle;
            break;
        case F::kMotorTempStart:
            slot.m_unsigned = &p3.m_motorTempStart;
            break;
        case F::kMotorTempOver:
            slot.m_unsigned = &p3.m_motorTempOver;
            break;
        case F::kMotorTempMax:
            slot.m_unsigned = &p3.m_motorTempMax;
            break;
        case F::kControllerTempProtect:
            slot.m_unsigned = &p3.m_controllerTempProtect;
            break;
        case F::kDampingFactor:
            slot.m_unsigned = &p3.m_dampingFactor;
            break;
        case F::kSpeedDisplayAdjust:
            slot.m_unsigned = &p3.m_speedDisplayAdjust;
            break;
        case F::kReverseSpeedRatio:
            slot.m_unsigned = &p3.m_reverseSpeedRatio;
            break;
        case F::kPolePairs:
            slot.m_unsigned = &p3.m_polePairs;
            break;
        case F::kEbsRatio:
            slot.m_unsigned = &p3.m_ebsRatio;
            break;
        case F::kPushAssistSpeed:
            slot.m_unsigned = &p3.m_pushAssistSpeed;
            break;
        case F::kPushAssistTorque:
            slot.m_unsigned = &p3.m_pushAssistTorque;
            break;
        case F::kDirection:
            slot.m_int = &p3.m_direction;
            break;
        case F::kMotorType:
            slot.m_int = &p3.m_motorType;
            break;
        case F::kOutputType:
            slot.m_int = &p3.m_outputType;
            break;
        case F::kDualVoltageLevel:
            slot.m_int = &p3.m_dualVoltageLevel;
            break;
        default:
            break;
    }
    return slot;
}

template <class T>
void CopyIf(T* to, const T* from) {
    if (to != nullptr && from != nullptr) {
        *to = *from;
    }
}

void CopySlot(const ValueSlot& to, const ConstValueSlot& from) {
    CopyIf(to.m_float, from.m_float);
    CopyIf(to.m_int, from.m_int);
    CopyIf(to.m_unsigned, from.m_unsigned);
    CopyIf(to.m_bool, from.m_bool);
}

ConstValueSlot AsConst(const ValueSlot& slot) {
    return {slot.m_float, slot.m_int, slot.m_unsigned, slot.m_bool, slot.m_pin, slot.m_text};
}

}  // namespace

bool ParameterPages::Read(ParameterValues& values) {
    return ReadPages(values, true);
}

bool ParameterPages::ReadForFile(ParameterValues& values) {
    return ReadPages(values, false);
}

bool ParameterPages::ReadPages(ParameterValues& values, bool displayPage) {
    for (TemplateWidget* page :
         {static_cast<TemplateWidget*>(&m_page0), static_cast<TemplateWidget*>(&m_page1),
          static_cast<TemplateWidget*>(&m_page3), static_cast<TemplateWidget*>(&m_page5),
          static_cast<TemplateWidget*>(&m_page6)}) {
        if (page == &m_page5 && !displayPage) {
            continue;
        }
        if (!page->UpdateData(true)) {
            return false;
        }
    }
    Collect(values);
    return true;
}

void ParameterPages::Collect(ParameterValues& values) const {
    for (int id = static_cast<int>(F::kNone) + 1; IsPageValue(static_cast<F>(id)); ++id) {
        Take(static_cast<F>(id), values);
    }
}

void ParameterPages::Apply(const ParameterValues& values, const DecodeOutcome& outcome) {
    for (ParamField field : outcome.m_setAtOnce) {
        Put(field, values, true, false);
    }
    for (ParamField field : outcome.m_awaitRefresh) {
        Put(field, values, false, true);
    }
}

void ParameterPages::ApplyAll(const ParameterValues& values) {
    for (int id = static_cast<int>(F::kNone) + 1; IsPageValue(static_cast<F>(id)); ++id) {
        Put(static_cast<F>(id), values, true, true);
    }
    Refresh();
}

void ParameterPages::Refresh() {
    m_page0.UpdateData(false);
    m_page1.UpdateData(false);
    m_page3.UpdateData(false);
    m_page6.UpdateData(false);
}

const TemplateWidget* ParameterPages::PageOf(ParamOwner owner) const {
    switch (owner) {
        case ParamOwner::kPage0:
            return &m_page0;
        case ParamOwner::kPage1:
            return &m_page1;
        case ParamOwner::kPage3:
            return &m_page3;
        case ParamOwner::kPortPage:
            return &m_page6;
        case ParamOwner::kMainWindow:
        case ParamOwner::kGlobal:
            break;
    }
    return nullptr;
}

void ParameterPages::Take(ParamField field, ParameterValues& values) const {
    if (IsPinField(field)) {
        *SlotOf(values, field).m_pin = m_page6.PinState(PinIndex(field));
        return;
    }
    const ParamFieldInfo info = FieldInfo(field);
    const TemplateWidget* page = PageOf(info.m_owner);
    if (page == nullptr) {
        return;
    }
    const ValueSlot slot = SlotOf(values, field);
    switch (info.m_kind) {
        case ParamKind::kField:
        case ParamKind::kRadio:
            CopySlot(slot, AsConst(FieldSlot(m_page0, m_page1, m_page3, field)));
            break;
        case ParamKind::kCombo:
            if (const auto* combo = page->Item<QComboBox>(info.m_controlId)) {
                *slot.m_int = combo->currentIndex();
            }
            break;
        case ParamKind::kCheck:
            if (const auto* check = page->Item<QCheckBox>(info.m_controlId)) {
                *slot.m_bool = check->isChecked();
            }
            break;
        case ParamKind::kGlobal:
            break;
    }
}

void ParameterPages::Put(ParamField field, const ParameterValues& values, bool controls,
                         bool fields) {
    if (IsPinField(field)) {
        // The function box and check boxes change at once; the mode is a field either way.
        const int pin = PinIndex(field);
        const PinValues& wanted = *SlotOf(values, field).m_pin;
        if (controls) {
            m_page6.SetPinState(pin, wanted);
        } else if (fields) {
            m_page6.m_pinMode[static_cast<std::size_t>(pin)] = wanted.m_pinMode;
        }
        return;
    }
    const ParamFieldInfo info = FieldInfo(field);
    const TemplateWidget* page = PageOf(info.m_owner);
    if (page == nullptr) {
        return;
    }
    const ConstValueSlot slot = SlotOf(values, field);
    switch (info.m_kind) {
        case ParamKind::kField:
        case ParamKind::kRadio:
            if (fields) {
                CopySlot(FieldSlot(m_page0, m_page1, m_page3, field), slot);
            }
            break;
        case ParamKind::kCombo:
            if (auto* combo = page->Item<QComboBox>(info.m_controlId); combo && controls) {
                combo->setCurrentIndex(*slot.m_int);
            }
            break;
        case ParamKind::kCheck:
            if (auto* check = page->Item<QCheckBox>(info.m_controlId); check && controls) {
                check->setChecked(*slot.m_bool);
            }
            break;
        case ParamKind::kGlobal:
            break;
    }
}
