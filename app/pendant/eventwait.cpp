#include "eventwait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace eventwait {

namespace {

// Wakes the waiting loop often enough to look at the condition and the clock, without
// spinning a core while nothing happens.
constexpr int kTickMs = 10;

void turn(const std::function<bool()> &done, int ms)
{
    QTimer tick;
    tick.start(kTickMs);
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace

bool until(const std::function<bool()> &condition, int ms)
{
    turn(condition, ms);
    return condition();
}

void settle(int ms)
{
    turn([] { return false; }, ms);
}

} // namespace eventwait
