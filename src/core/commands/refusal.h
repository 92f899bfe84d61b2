#pragma once
// Why a command does not start. The values are the ids of the messages the window shows.

class Link;

enum class Refusal : int {
    kNone = 0,
    kAlreadyRunning = 1,  // the same sequence is still running; no message
    kPortClosed = 120,
    kNotConnected = 123,
    kDownloadRunning = 124,
    kMotorTurning = 125,
};

// Connect: port closed, then download running.
Refusal CheckConnectRefusal(const Link& link);

// Parameter write: port closed, download running, not connected, motor turning (the speed of
// the last status in g_liveStatus). The window tests its own rule between the last two: while the
// display page is shown a write that passed the first three does nothing at all, silently.
Refusal CheckParamWriteRefusal(const Link& link);
