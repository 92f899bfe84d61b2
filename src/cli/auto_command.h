#pragma once
// auto: one port's automatic mode as a command that keeps running; station: every port's.

#include <QStringList>

int RunAuto(const QStringList& arguments);
