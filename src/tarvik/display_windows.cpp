#include "tarvik/display.h"

// A Windows session always has its desktop.
bool HasDisplay() {
    return true;
}
