// Vibration decisions: XInput motor speeds, DirectInput effects and timers.

#include "input/joypad_vibration.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

struct MotorStep {
    int vibrationOn;
    int power;
    int send;
    int left;
    int right;
};

struct MotorCase {
    const char *name;
    MotorStep steps[3];
    int stepCount;
};

const MotorCase kMotorCases[] = {
    {"half power drives only the left motor at full speed", {{1, 5000, 1, 65535, 0}}, 1},
    {"full power drives both motors at full speed", {{1, 10000, 1, 65535, 65535}}, 1},
    {"low power scales the left motor", {{1, 2500, 1, 32767, 0}}, 1},
    {"three quarters runs the right motor at half speed", {{1, 7500, 1, 65535, 32767}}, 1},
    {"no change sends nothing", {{1, 10000, 1, 65535, 65535}, {1, 10000, 0, 65535, 65535}}, 2},
    {"turning off stops both", {{1, 10000, 1, 65535, 65535}, {0, 10000, 1, 0, 0}}, 2},
    {"the right motor stopping keeps the left one's speed", {{1, 10000, 1, 65535, 65535}, {1, 4000, 1, 65535, 0}}, 2},
    {"the right motor starting keeps the left one's speed", {{1, 2500, 1, 32767, 0}, {1, 6000, 1, 32767, 13107}}, 2},
};

TEST(JoypadVibrationTest, XInputMotorSpeeds)
{
    for (const MotorCase &c : kMotorCases) {
        SCOPED_TRACE(c.name);
        JoypadRecord pad = {};
        for (int i = 0; i < c.stepCount; ++i) {
            const MotorStep &step = c.steps[i];
            pad.vibrationOn = step.vibrationOn;
            pad.power = step.power;
            XInputMotorCommand command = DecideXInputMotors(&pad);
            EXPECT_EQ(command.send, step.send) << "step " << i;
            if (command.send != 0) {
                EXPECT_EQ(command.leftSpeed, step.left) << "step " << i;
                EXPECT_EQ(command.rightSpeed, step.right) << "step " << i;
            }
        }
    }
}

TEST(JoypadVibrationTest, DirectInputEffectsStartAndStopOnChangesOnly)
{
    struct Step {
        int vibrationOn, power, constantForce, sine;
    } steps[] = {
        {1, 5000, 1, 0}, {1, 5000, 0, 0}, {1, 9000, 0, 1}, {1, 3000, 0, -1}, {0, 3000, -1, 0}, {0, 9000, 0, 0},
    };
    JoypadRecord pad = {};
    for (const Step &step : steps) {
        pad.vibrationOn = step.vibrationOn;
        pad.power = step.power;
        DirectInputEffectCommand command = DecideDirectInputEffects(&pad);
        EXPECT_EQ(command.constantForce, step.constantForce) << step.vibrationOn << "/" << step.power;
        EXPECT_EQ(command.sine, step.sine) << step.vibrationOn << "/" << step.power;
    }
}

TEST(JoypadVibrationTest, InactiveStopSendsOnlyWhenAMotorRan)
{
    JoypadRecord pad = {};
    EXPECT_EQ(StopXInputMotors(&pad).send, 0);
    pad.vibrationOn = 1;
    pad.power = 10000;
    DecideXInputMotors(&pad);
    XInputMotorCommand stop = StopXInputMotors(&pad);
    EXPECT_EQ(stop.send, 1);
    EXPECT_EQ(stop.leftSpeed, 0);
    EXPECT_EQ(stop.rightSpeed, 0);
    // Becoming active again starts the motors anew.
    EXPECT_EQ(DecideXInputMotors(&pad).send, 1);
}

TEST(JoypadVibrationTest, TimersRunOutOnlyForFiniteDurations)
{
    struct Case {
        int duration;
        uint32_t start;
        uint32_t times[3];
        int expected[3];
    } cases[] = {
        {100, 1000, {1050, 1099, 1100}, {0, 0, 1}},
        {-1, 1000, {5000, 900000, 4000000}, {0, 0, 0}},
        {0, 1000, {1000, 1000, 1000}, {1, 1, 1}},
        // The clock went backwards: only time after that counts.
        {100, 1000, {1050, 10, 60}, {0, 0, 1}},
    };
    for (const Case &c : cases) {
        JoypadRecord pad = {};
        pad.vibrationOn = 1;
        pad.durationMs = c.duration;
        pad.lastVibrationClock = c.start;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(AdvanceVibrationTimer(&pad, c.times[i]), c.expected[i]) << c.duration << " step " << i;
        }
    }
}

} // namespace
