#pragma once
// The window program's command line.

#include <QString>
#include <QStringList>
#include <optional>

#include "app/ui_language.h"

struct WindowOptions {
    std::optional<UiLanguage> language;  // --lang: this run only, nothing stored
    QString screenshotPath;              // --screenshot: render and exit
    int screenshotTab = 0;
    bool unfold = false;
    bool reveal = false;
    bool demo = false;  // --demo: the simulated controller, its port first and open
    QString port;       // --port: put first in the list, selected
    bool open = false;  // --open: open the selected port at start
    // Production stations: the download mode 0..3, the program file, the hold-off in ticks.
    std::optional<int> mode;
    QString badMode;  // a --mode outside 0..3: the window says so and starts anyway
    QString image;
    std::optional<unsigned> delay;
    bool fast = false;  // --fast: this run downloads without waiting for the quiet gaps
    // Production records: where they go (a file or a postgresql:// URL) and the station's name;
    // empty: the per-user settings, else the default file and the host name.
    QString records;
    QString station;
    QString outbox;  // --outbox: with a server, the local outbox file
    // --station-window: the station window instead of the main window, with `mode` (1..3),
    // `image` as the mode's file, `delay`, `fast` and these ports (empty: every cable).
    bool stationWindow = false;
    QStringList ports;
};

struct WindowOptionsResult {
    std::optional<WindowOptions> options;  // none: exit with `exitCode` after printing `output`
    int exitCode = 0;
    QString output;  // for stdout (help)
    QString error;   // for stderr (usage errors)
};

// Parses the arguments (argv[0] first).
WindowOptionsResult ParseWindowOptions(const QStringList& arguments);
