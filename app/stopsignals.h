#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP ask the program to end the way Exit does, from
// the event loop, so the room is left and the database closed in order.
//
// The signals are blocked in every thread and read from a signalfd: a
// handler would run on whichever thread the kernel picks, often one of the
// embedded Firebird engine's, and the engine does not survive its waits
// being interrupted there (its last detach then spins for ever). The engine
// also catches SIGINT and SIGTERM itself and would shut the database down
// under the running program; its shutdown callback turns that into the same
// request instead.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    // Call first thing in main(), before any thread exists: threads inherit
    // the blocked signals from the thread that starts them.
    static void blockInAllThreads();

    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    // A stop came, also one that arrived before any event loop ran to the
    // end: start-up may wait for the database in a loop of its own.
    bool requested() const { return stopped; }

Q_SIGNALS:
    void stopRequested(int signal);

private:
    void readSignals();

    int fd = -1;
    bool stopped = false;
    QSocketNotifier* notifier = nullptr;
};

#endif
