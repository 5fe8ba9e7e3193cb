#ifndef GAMECLOCK_H
#define GAMECLOCK_H

#include <QObject>

// A repeating timer, as QTimer is: it fires every interval until stopped.
class GameTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
    // Milliseconds left until it fires; -1 when stopped.
    virtual int remainingTime() const = 0;

Q_SIGNALS:
    void timeout();
};

// Where the game's time comes from: the event loop's timers, or a clock a
// test moves by hand.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual GameTimer* createTimer(QObject* parent) = 0;
    // Milliseconds on a steady clock, for measuring spans.
    virtual qint64 elapsedMs() const = 0;

    // The event loop's time; lives as long as the program.
    static Clock* system();
};

#endif
