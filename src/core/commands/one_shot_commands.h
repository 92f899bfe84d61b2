#pragma once
// Commands that go out as a single frame and expect no answer. Restart, cable restart and
// offline download are written whatever the port state (a closed port writes nothing); the
// factory commands are offered only while the port is open, after the user confirms.

#include "core/protocol/command_frame.h"

CommandFrame RestartControllerFrame();  // "RESET"
CommandFrame RestartCableFrame();       // "RESTT"
// "CLERR" while g_firstGenCable is 1, else "CLESR".
CommandFrame OfflineDownloadFrame();
CommandFrame RestoreFactoryFrame();  // "RSFSE"
CommandFrame StoreFactoryFrame();    // "STFSE"

// The boot loader entry: "BLOTD" when the voltage calibration value is 32767, else "BLOOD".
inline constexpr unsigned kBootEntryTMarker = 32767;
CommandFrame BootEntryFrame(unsigned voltageCalibValue);
