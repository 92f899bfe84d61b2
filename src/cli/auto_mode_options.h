#pragma once
// The options of an automatic mode, shared by `auto` (one port) and `station` (which passes
// them on to its workers): read and checked once, so bad input is refused before any port is
// touched or any worker starts.

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "core/params/block_layout.h"

struct AutoModeSetup {
    int mode = 0;  // 1 write parameters, 2 download, 3 read
    // Mode 2.
    QString imagePath;
    QByteArray image;
    QString imageName;
    QString imageSha256;  // lower-case hex
    unsigned delayTicks = 12;  // the window's hold-off after a download, in 250 ms ticks
    unsigned voltageCalib = 0;
    bool fast = false;
    // Mode 1.
    QString paramsPath;
    std::string paramsText;
    // Mode 3.
    QString referencePath;
    std::optional<ParameterBlock> referenceBlocks;
    QString referenceCheck;  // the reference's check value as the window shows it
    QString saveDir;
    // Both: stop after this many controllers (0: never).
    int count = 0;
};

// --mode, --image, --params, --delay, --fast, --voltage-calib, --reference, --save-dir, --count.
void AddAutoModeOptions(QCommandLineParser& parser);
// Reads and checks them (the files are read here), with the command's --events and the absence
// of positional arguments. The exit code after the message when they are refused.
std::optional<int> ReadAutoModeOptions(const QCommandLineParser& parser, AutoModeSetup& setup);
// The mode options a station's worker gets, from the station's own: everything above but
// --count, which the station counts over all ports.
QStringList AutoModeWorkerArguments(const QCommandLineParser& parser);
