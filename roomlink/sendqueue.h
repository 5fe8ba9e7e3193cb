#ifndef SENDQUEUE_H
#define SENDQUEUE_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Flood control for posted lines: a token bucket. Up to `burst` lines go out
// at once; after that one line per `intervalMs`. Servers disconnect clients
// that send too fast ("Excess Flood"), so every post passes through here.
class SendQueue
{
public:
    static constexpr int defaultBurst = 5;
    static constexpr int defaultIntervalMs = 1000;

    explicit SendQueue(int burst = defaultBurst, int intervalMs = defaultIntervalMs);

    void enqueue(const QByteArray& line);
    // Removes and returns the lines that may be written at time nowMs.
    QList<QByteArray> takeDue(qint64 nowMs);
    // Milliseconds from nowMs until the next queued line may go; -1 when empty.
    qint64 msUntilNext(qint64 nowMs);
    // Removes and returns every queued line, whatever the bucket holds.
    QList<QByteArray> takeAll() { return std::exchange(queue, {}); }
    int size() const { return int(queue.size()); }
    bool isEmpty() const { return queue.isEmpty(); }
    // Drops queued lines and starts with a full bucket again.
    void reset();

private:
    void refill(qint64 nowMs);

    QList<QByteArray> queue;
    int burst;
    int intervalMs;
    int tokens;
    qint64 lastRefill = -1;
};

// Longest text in one PRIVMSG: 512 bytes per line, less CR LF, the command,
// the target and the ":nick!user@host " that the server puts in front of it
// for the other members.
int maxTextBytes(const QByteArray& target);

// Turns one posted text into PRIVMSG lines (each with CR LF). "/msg NAME "
// at the start sends to NAME instead of the channel; every non-empty line of
// the text is one message; <b> and </b> become bold; CR, NUL and CTCP quote
// bytes are removed so no text can smuggle in a command; long lines are cut
// on character boundaries.
QList<QByteArray> buildPrivmsgLines(const QString& text, const QByteArray& channel);

#endif
