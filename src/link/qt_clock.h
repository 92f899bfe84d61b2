#pragma once
// The core's Clock on Qt timers: each step runs once on the thread of `context`, in the order
// the steps fall due. Steps still pending when the context goes are dropped.

#include <QObject>
#include <functional>

#include "core/commands/clock.h"

class QtClock : public Clock {
public:
    explicit QtClock(QObject* context) : m_context(context) {}
    void Schedule(int milliseconds, std::function<void()> step) override;

private:
    QObject* m_context;
};
