#pragma once
// How a station runs: the worker program and its mode options, the pauses and bounds, and what
// the supervisor needs for the records it writes itself.

#include <QString>
#include <QStringList>
#include <QtGlobal>

struct StationOptions {
    // The worker program (tarvik-cli) and the arguments every worker gets after "auto":
    // "--mode 2 --image FILE ...". The supervisor adds --port, --events jsonl and --supervised.
    QString program;
    QStringList workerArguments;

    // After a worker ended on its own (crash, kill, port error), before its port gets another.
    int restartPauseMs = 2000;
    // How long Stop waits for the workers to write their records before it kills them.
    int stopTimeoutMs = 10000;
    // How often the port list is looked at with automatic ports.
    int portPollMs = 1000;
    // Stop once this many controllers were handled on all ports together; 0: never.
    int count = 0;

    // Where records go ("" = the default), the outbox, the station and unit names: given to
    // every worker by the supervisor, and used for the record of an operation whose worker died,
    // so that both record alike. Then the mode's source and the image (downloads).
    QString records;
    QString outbox;  // with a server: the local outbox ("" = the default)
    QString station;
    QString unitId;
    int mode = 2;
    quint32 baud = 9600;
    bool can = false;
    QString imageName;
    qint64 imageSize = -1;  // -1: no image
    QString imageSha256;
};
