#pragma once
// The terminal behind stdout (terminal_<platform>.cpp), for the station's live table.

// Whether stdout is a terminal that takes cursor movement (on Windows: a console, with its
// virtual-terminal processing switched on by this call).
bool PrepareTerminalOutput();
// The terminal's width in columns; 80 where it cannot be told.
int TerminalColumns();
// Its height in rows; 24 where it cannot be told.
int TerminalRows();
