#ifndef FAKECLOCK_H
#define FAKECLOCK_H

// Time that moves only when a test says so: advance() fires every timer that
// falls due on the way, in order, so a whole game runs in microseconds.

#include <QList>
#include <QPointer>

#include "game/clock.h"

class FakeClock : public Clock
{
public:
    class Timer : public GameTimer
    {
    public:
        Timer(FakeClock* clock, QObject* parent) : GameTimer(parent), clock(clock) {}
        void start(int ms) override
        {
            ms_ = qMax(0, ms);
            due = clock->now + ms_;
        }
        void stop() override { due = -1; }
        bool isActive() const override { return due >= 0; }
        int interval() const override { return ms_; }
        int remainingTime() const override { return due < 0 ? -1 : int(due - clock->now); }

    private:
        friend class FakeClock;
        FakeClock* clock;
        int ms_ = 0;
        qint64 due = -1;
    };

    qint64 elapsedMs() const override { return now; }
    GameTimer* createTimer(QObject* parent) override
    {
        auto* timer = new Timer(this, parent);
        timers.append(timer);
        return timer;
    }

    // Moves time on by ms. A repeating timer that fires and is not stopped
    // is due again an interval later, as QTimer is.
    void advance(qint64 ms)
    {
        const qint64 end = now + ms;
        while (Timer* next = nextDue(end)) {
            now = next->due;
            next->due = now + qMax(1, next->ms_);
            emit next->timeout();
        }
        now = end;
    }

    qint64 now = 0;

private:
    Timer* nextDue(qint64 end) const
    {
        Timer* first = nullptr;
        for (const QPointer<Timer>& timer : timers) {
            if (timer && timer->due >= 0 && timer->due <= end && (!first || timer->due < first->due))
                first = timer;
        }
        return first;
    }

    QList<QPointer<Timer>> timers;
};

#endif
