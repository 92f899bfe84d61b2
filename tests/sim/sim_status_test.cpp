// Status requests and the live status frames they are answered with; one-shot commands.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/sim_controller.h"
#include "sim_test_support.h"

namespace {

using namespace sim_test;

struct Status {
    Bytes frame;
    int rpm() const { return SignedWord(frame, 14); }
    std::uint32_t faults() const {
        return (std::uint32_t{frame[10]} << 24) | (frame[11] << 16) | (frame[12] << 8) | frame[13];
    }
    int indicators() const { return frame[20]; }
    int state() const { return frame[21]; }
};

class SimStatus : public ::testing::Test {
protected:
    Status Ask(const Request& request) {
        const Bytes reply = m_controller.Receive(StatusRequestFrame(request));
        EXPECT_EQ(reply.size(), 24u);
        EXPECT_TRUE(IsValidReply(reply));
        return Status{reply};
    }

    // Asks n times and returns the replies' speeds.
    std::vector<int> Speeds(const Request& request, int n) {
        std::vector<int> rpm;
        for (int i = 0; i < n; ++i) {
            rpm.push_back(Ask(request).rpm());
        }
        return rpm;
    }

    FakeClock m_clock;
    sim::SimController m_controller{{}, m_clock.Function()};
};

struct SpeedCase {
    const char* name;
    Request request;
    int finalRpm;  // default set: 4200 rpm, gear ratios 40/70/100 %, reverse 30 %
};

class SimSpeed : public SimStatus, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SimSpeed, FollowsTheRemoteThrottle) {
    const std::vector<int> rpm = Speeds(GetParam().request, 12);
    EXPECT_EQ(rpm.back(), GetParam().finalRpm);
    // The motor runs up step by step, never past its target, and keeps its sign.
    for (std::size_t i = 1; i < rpm.size(); ++i) {
        EXPECT_LE(std::abs(rpm[i - 1]), std::abs(rpm[i]));
        EXPECT_GE(rpm[i] * GetParam().finalRpm, 0);
    }
    if (GetParam().finalRpm != 0) {
        EXPECT_NE(rpm.front(), 0) << "the first answer already moves";
    }
}

Request Remote(double volts, int gear, bool reverse = false) {
    Request r;
    r.remote = true;
    r.throttleVolts = volts;
    r.gear = gear;
    r.reverse = reverse;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Cases, SimSpeed,
                         ::testing::Values(SpeedCase{"full_high", Remote(4.4, 2), 4200},
                                           SpeedCase{"full_middle", Remote(4.4, 1), 2940},
                                           SpeedCase{"full_low", Remote(4.4, 0), 1680},
                                           SpeedCase{"full_s", Remote(4.4, 3), 4200},
                                           SpeedCase{"half_high", Remote((1.31 + 4.33) / 2, 2),
                                                     2100},
                                           SpeedCase{"below_start_voltage", Remote(1.2, 2), 0},
                                           SpeedCase{"reverse", Remote(4.4, 2, true), -1260},
                                           SpeedCase{"remote_off", Request{false, 4.4, 2}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimStatus, BrakeAndLockStopTheMotorAtOnce) {
    Request run = Remote(4.4, 2);
    Speeds(run, 12);
    ASSERT_EQ(m_controller.Rpm(), 4200);

    Request brake = run;
    brake.brake = true;
    Status s = Ask(brake);
    EXPECT_EQ(s.rpm(), 0);
    EXPECT_EQ(s.faults() & 1u, 1u);  // brake input
    EXPECT_EQ(s.indicators() & 0x10, 0x10);
    EXPECT_EQ(s.state(), 5);  // BRAKE

    Speeds(run, 12);
    Request lock = run;
    lock.lock = true;
    s = Ask(lock);
    EXPECT_EQ(s.rpm(), 0);
    EXPECT_EQ(s.faults(), 0u);
    EXPECT_EQ(s.indicators() & 0x08, 0x08);
    EXPECT_EQ(s.state(), 4);  // STOP
}

TEST_F(SimStatus, GearAndLampBitsMirrorTheRequest) {
    struct Case {
        Request request;
        int indicators;
    };
    Request reverseS = Remote(0, 3, true);
    Request brakeLow;
    brakeLow.brake = true;
    Request lockMiddle;
    lockMiddle.lock = true;
    lockMiddle.gear = 1;
    for (const Case& c : {Case{Remote(0, 2), 0x02}, Case{reverseS, 0x07}, Case{brakeLow, 0x10},
                          Case{lockMiddle, 0x09}}) {
        EXPECT_EQ(Ask(c.request).indicators(), c.indicators);
    }
    m_controller.SetExtraIndicatorBits(0x40);
    EXPECT_EQ(Ask(Remote(0, 1)).indicators(), 0x41);
}

TEST_F(SimStatus, DisplayModeSwitchesPositionsFiveToEight) {
    Request run = Remote(4.4, 2);
    Speeds(run, 12);
    run.displayMode = 0;
    const Status normal = Ask(run);
    const int volts = Word(normal.frame, 5);
    EXPECT_GE(volts, 700);  // a 72 V pack, 0.1 V
    EXPECT_LE(volts, 900);
    EXPECT_GT(SignedWord(normal.frame, 7), 0);  // drawing current while it runs

    run.displayMode = 1;  // Q/D-axis voltage, signed and unscaled
    const Status qdVoltage = Ask(run);
    run.displayMode = 2;  // Q/D-axis current
    const Status qdCurrent = Ask(run);
    for (const Status* s : {&qdVoltage, &qdCurrent}) {
        EXPECT_GT(SignedWord(s->frame, 5), 0) << "Q axis positive while driving forward";
        EXPECT_GT(std::abs(SignedWord(s->frame, 5) - volts), 50) << "still the pack voltage";
        EXPECT_LT(SignedWord(s->frame, 7), 0) << "D axis negative while field weakening";
    }
    EXPECT_NE(Word(qdVoltage.frame, 5), Word(qdCurrent.frame, 5));
    EXPECT_EQ(qdVoltage.rpm(), 4200);  // the rest of the frame does not change meaning
}

TEST_F(SimStatus, FaultBitsAndStateCodeAreSettable) {
    m_controller.SetFaultBits(0x00800200);
    Status s = Ask(Request{});
    EXPECT_EQ(s.faults(), 0x00800200u);
    EXPECT_EQ(s.state(), 7);  // FAULT
    m_controller.SetStateCode(6);
    EXPECT_EQ(Ask(Request{}).state(), 6);
}

TEST_F(SimStatus, StatusKindSelectsTheLetters) {
    EXPECT_EQ(Ask(Request{}).frame[3], 'Y');
    m_controller.SetStatusKind(sim::StatusKind::E1);
    Status s = Ask(Request{});
    EXPECT_EQ(s.frame[3], 'E');
    EXPECT_EQ(s.frame[4], '1');
    m_controller.SetStatusKind(sim::StatusKind::E2);
    EXPECT_EQ(Ask(Request{}).frame[4], '2');
}

TEST(SimStatusDrift, SameSeedGivesTheSameFramesAndAnotherSeedDrifts) {
    auto run = [](std::uint64_t seed) {
        FakeClock clock;
        sim::SimConfig config;
        config.seed = seed;
        sim::SimController controller(config, clock.Function());
        Bytes all;
        for (int i = 0; i < 40; ++i) {
            const Bytes reply = controller.Receive(StatusRequestFrame(Remote(3.0, 1)));
            all.insert(all.end(), reply.begin(), reply.end());
        }
        return all;
    };
    const Bytes a = run(7);
    EXPECT_EQ(a, run(7));
    EXPECT_NE(a, run(8));
    // The values move: forty frames do not all report the same voltage.
    const std::vector<Bytes> frames = SplitFrames(a);
    bool voltageMoved = false;
    for (const Bytes& f : frames) {
        voltageMoved |= Word(f, 5) != Word(frames.front(), 5);
    }
    EXPECT_TRUE(voltageMoved);
}

TEST_F(SimStatus, CalibrationRequestsAreRecordedAndTheStoreFlagStoresThem) {
    Request plain;
    plain.voltageCalib = 1234;
    plain.currentCalib = 321;
    plain.fieldWeakening = 17;
    Ask(plain);
    ASSERT_TRUE(m_controller.LastStatusRequest());
    EXPECT_EQ(m_controller.LastStatusRequest()->voltageCalibration, 1234);
    EXPECT_FALSE(m_controller.LastStatusRequest()->calibrationStore);
    EXPECT_TRUE(m_controller.CalibrationStores().empty());
    EXPECT_NE(m_controller.Parameters().Word(1, 18), 1234);

    Request store = plain;
    store.calibrationStore = true;
    Ask(store);
    ASSERT_EQ(m_controller.CalibrationStores().size(), 1u);
    EXPECT_EQ(m_controller.CalibrationStores()[0].currentCalibration, 321);
    const sim::SimParameterSet p = m_controller.Parameters();
    EXPECT_EQ(p.Word(1, 18), 1234);
    EXPECT_EQ(p.Word(1, 20), 321);
    EXPECT_EQ(p.Byte(5, 21), 17);
}

TEST_F(SimStatus, OneShotCommandsAreRecordedInOrderAndResetAnnounces) {
    Bytes out;
    for (const char* letters : {"RESTT", "CLERR", "CLESR", "RSFSE", "STFSE", "RESET"}) {
        const Bytes reply = m_controller.Receive(ToolFrame(letters));
        out.insert(out.end(), reply.begin(), reply.end());
    }
    EXPECT_TRUE(out.empty()) << "none of them is answered at once";
    EXPECT_EQ(m_controller.ReceivedCommands(),
              (std::vector<std::string>{"RESTT", "CLERR", "CLESR", "RSFSE", "STFSE", "RESET"}));

    // Restarting: deaf until it has powered up, then it announces itself.
    EXPECT_TRUE(m_controller.Receive(ToolFrame("LDGET")).empty());
    m_clock.now += sim::SimController::kPowerUpDelay - 1ms;
    EXPECT_TRUE(m_controller.Poll().empty());
    m_clock.now += 1ms;
    const Bytes announce = m_controller.Poll();
    ASSERT_EQ(announce.size(), 24u);
    EXPECT_TRUE(IsValidReply(announce));
    EXPECT_EQ(Bytes(announce.begin() + 3, announce.begin() + 7), (Bytes{0xFE, 0xEF, 0x55, 0xAA}));
    EXPECT_EQ(m_controller.Receive(ToolFrame("LDGET")).size(), 7u * 24u);
}

}  // namespace
