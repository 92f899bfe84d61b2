#pragma once
// Program-wide flags and counters through which the receive thread reports to the GUI thread,
// the command sequences and the production modes. The receive side writes them without ever
// waiting for the GUI thread, so each is an atomic read and written whole.

#include <atomic>
#include <cstdint>

// Valid frames with header 0xC0 ("success_count:").
extern std::atomic<std::uint32_t> g_frameCount;
// Frames rejected for a wrong checksum or terminator, whatever their header ("error_count:").
extern std::atomic<std::uint32_t> g_frameErrorCount;
// Zeroed by every parsed byte, counted by the 250 ms tick for the idle rewind.
extern std::atomic<std::uint16_t> g_idleTicks;
// Set by every 'R' frame before its block is decoded; connect clears and waits for it.
extern std::atomic<int> g_paramFrameSeen;
// Set to 8 by every 'R' frame; the tick refreshes the pages while it counts down.
extern std::atomic<std::uint16_t> g_refreshTicks;
// Set by 'PN'; cleared by the parameter write. Starts 1.
extern std::atomic<int> g_writeAcknowledged;
// Set by the controller's announcement; read and cleared by the production modes.
extern std::atomic<int> g_announceSeen;
// Set after each chunk handed to the parser; the parameter write clears and waits for it.
extern std::atomic<int> g_rxActivity;
// Received bytes still to drop as the CAN cable's echo of our own writes. Starts 0xFFFF.
extern std::atomic<std::uint16_t> g_echoSkipCount;
// 1 while "CAN enable" is on.
extern std::atomic<std::uint8_t> g_canEnabled;
// 1 while the first-generation CAN cable box is in effect.
extern std::atomic<std::uint8_t> g_firstGenCable;
// 1 when the last tick sent a status request; the parameter write waits for it to clear.
extern std::atomic<int> g_statusRequestSent;
// 1 after a connect that received a parameter frame.
extern std::atomic<int> g_connected;

// Adds a write's length to the echo count, modulo 65536 (called by the serial port).
void AddEchoSkip(std::uint32_t length);

// Puts every flag and counter back to its start-up value (tests; the program never resets them).
void ResetLinkFlags();
