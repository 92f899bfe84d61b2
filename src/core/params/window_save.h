#pragma once
// The configuration file the window would save in two situations, for the command line, which
// has no window but must give the same file.
//
// After connecting: the controller's seven 'R' blocks are decoded in order into the window's
// values; the next tick sees the frame counter move while g_calibReceived is 1 and takes the
// calibration values and the field-weakening coefficient over into the main window (so block 4
// byte 21 is then written from block 5 byte 21, not from the received block 4 byte 21); the
// refresh shows the values and the save reads them back unchanged (every decoded float prints
// and reads back exactly). The save then encodes, unless a page's range check fails, in which
// case the window shows the message and writes nothing.
//
// After an import: the file is decoded as the import does (calibration taken over from the
// decoder's outputs), then saved the same way. A refused file saves nothing.
//
// Both change the value set, the write frames and the decoder outputs as the window would.

#include <optional>
#include <string>
#include <string_view>

#include "core/params/block_layout.h"
#include "core/params/config_file.h"
#include "core/params/page_range_check.h"
#include "core/params/parameter_values.h"

struct WindowSave {
    std::string m_file;  // the saved text, empty when nothing was saved
    std::optional<ImportFailure> m_importRefused;
    std::optional<PageRangeFailure> m_pageRefused;

    bool Saved() const { return !m_importRefused && !m_pageRefused; }
};

// `values` is the window's state before the connect, usually a fresh ParameterValues{}.
WindowSave SaveAfterConnect(ParameterValues& values, const ParameterBlock& received);
// `values` is the window's state before the import.
WindowSave SaveAfterImport(ParameterValues& values, std::string_view file);
