#pragma once
// Whether the window has somewhere to appear (display_<platform>.cpp): checked before Qt starts,
// so that a missing display is one clear line instead of Qt's abort.

bool HasDisplay();
