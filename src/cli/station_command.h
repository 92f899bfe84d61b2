#pragma once

#include <QStringList>

// station: one `auto` worker per port, with a live table (or plain lines) of them all.
int RunStation(const QStringList& arguments);
