#pragma once
// The program's icon, compiled in.

#include <QIcon>

QIcon AppIcon();
