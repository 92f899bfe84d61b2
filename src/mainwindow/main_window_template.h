#pragma once
// The main window's control table and its fixed texts.

#include "ui/dialog_template.h"

const DialogTemplate& MainWindowTemplate();

// Captions the English UI puts over the template's, whichever template it started from.
struct CaptionOverlay {
    int id;
    const char* english;
};
const std::vector<CaptionOverlay>& EnglishOverlay();
