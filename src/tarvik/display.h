#pragma once
// Where the window appears (display_<platform>.cpp): checked before Qt starts, so that a missing
// display is one clear line instead of Qt's abort.

#include <QStringList>

bool HasDisplay();

// Before an offscreen start (a screenshot): where the offscreen platform finds its fonts, which
// on Windows it does not look up by itself.
void PrepareOffscreenFonts();

// The program's arguments as the user typed them, argv[0] first, before Qt has started.
QStringList StartArguments(int argc, char* argv[]);
