#pragma once
// Text to a program's output streams (console_text_<platform>.cpp). Pipes and files get UTF-8 on
// every platform, so a script reads the same bytes everywhere; a Windows console gets the text
// as the console shows it, whatever its code page. The window program has no console of its own
// on Windows: its --help goes to the console it was started from.

#include <QString>
#include <cstdio>

void WriteConsoleText(std::FILE* stream, const QString& text);

// Once at start: standard output and error carry bytes as written (no newline translation), so
// a parameter file written to stdout is the same file on every platform.
void PrepareConsoleStreams();
