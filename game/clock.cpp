#include "game/clock.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

class SystemTimer : public GameTimer
{
public:
    explicit SystemTimer(QObject* parent) : GameTimer(parent)
    {
        // Seconds-long game times must not drift by the coarse timers' 5%.
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, &GameTimer::timeout);
    }
    void start(int ms) override { timer.start(ms); }
    void stop() override { timer.stop(); }
    bool isActive() const override { return timer.isActive(); }
    int interval() const override { return timer.interval(); }
    int remainingTime() const override { return timer.remainingTime(); }

private:
    QTimer timer;
};

class SystemClock : public Clock
{
public:
    SystemClock() { started.start(); }
    GameTimer* createTimer(QObject* parent) override { return new SystemTimer(parent); }
    qint64 elapsedMs() const override { return started.elapsed(); }

private:
    QElapsedTimer started;
};

} // namespace

Clock* Clock::system()
{
    static SystemClock clock;
    return &clock;
}
