#pragma once
// Why a command does not start. The values are the ids of the messages the window shows.

class Link;

enum class Refusal : int {
    kNone = 0,
    kAlreadyRunning = 1,  // the same sequence is still running; no message
    // Parameter write while the display page is shown: nothing at all happens, no message.
    kDisplayPageShown = 2,
    kPortClosed = 120,
    kNotConnected = 123,
    kDownloadRunning = 124,
    kMotorTurning = 125,
};

// Connect: port closed, then download running.
Refusal CheckConnectRefusal(const Link& link);

// Parameter write: port closed, download running, not connected, the display page shown, motor
// turning (the speed of the last status in g_liveStatus). The page comes after the link checks, so
// their messages still show on it, and before the motor, which is never reported there.
Refusal CheckParamWriteRefusal(const Link& link, bool displayPageShown = false);
