#ifndef SENDQUEUE_H
#define SENDQUEUE_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// Flood control and order for everything written into the room. A token
// bucket lets `burst` lines go at once, then one per `intervalMs`: servers
// disconnect a client that sends faster ("Excess Flood").
//
// Game lines (questions, hints, results) go before any waiting reply, and
// replies never take the last two tokens, so a game line goes out as soon as
// it is posted however many replies wait. Game lines are never dropped.
//
// Replies are shared out: members take turns, one line each, the member who
// has waited longest first, so a flood from a few cannot starve the rest.
// Each member's replies go whole and in order; one asked again while the same
// answer waits is answered once. Waiting reply lines are bounded per member
// and in total; a reply that does not fit is refused whole and the member
// gets one short notice instead (at most one waiting per member, and few in
// all), never a reply cut short.
class SendQueue
{
public:
    static constexpr int defaultBurst = 5;
    static constexpr int defaultIntervalMs = 1000;
    // Reply lines that may wait for one member: a top ten and a help.
    static constexpr int maxMemberLines = 24;
    // Reply lines that may wait, all members together. A reply longer than
    // this is still taken whole when no other reply waits.
    static constexpr int maxWaitingReplyLines = 64;
    // Of those, lines kept for members who have nothing waiting yet.
    static constexpr int newcomerLines = 16;
    // Busy notices that may wait, all members together.
    static constexpr int maxWaitingNotices = 8;

    struct Line
    {
        QByteArray bytes;   // empty for the end of an empty game text
        // Set on a game text's last line: run once that line is written.
        std::function<void()> onSent;
    };

    explicit SendQueue(int burst = defaultBurst, int intervalMs = defaultIntervalMs);

    // Queues the lines of one game text; onSent goes with its last line.
    void enqueueGame(const QList<QByteArray>& lines, std::function<void()> onSent = {});
    // Queues one whole reply for member (a case-folded nick); true when it
    // will go, queued now or already waiting. When it does not fit, queues the
    // one-line notice instead where the notices' own bound allows.
    bool enqueueReply(const QByteArray& member, const QList<QByteArray>& lines, const QByteArray& notice = {});

    // Removes and returns the lines that may be written at nowMs, game lines first.
    QList<Line> takeDue(qint64 nowMs);
    // Milliseconds from nowMs until the next line may go; -1 when empty.
    qint64 msUntilNext(qint64 nowMs);
    // Removes and returns every waiting line, whatever the bucket holds.
    QList<Line> takeAll();
    int size() const { return int(game.size()) + replyLines; }
    bool isEmpty() const { return game.isEmpty() && replyLines == 0; }
    // Drops every waiting line (and its onSent) and fills the bucket again.
    void reset();

private:
    struct Pending
    {
        QList<QByteArray> lines;
        bool notice = false;
    };
    struct Waiting
    {
        QList<Pending> replies;
        qsizetype next = 0;     // lines of the first reply already taken
        int lines = 0;
        bool notice = false;    // a busy notice is among the replies
    };

    void refill(qint64 nowMs);
    QByteArray takeReply();

    QList<Line> game;
    // Members with replies waiting, the longest waiting first.
    QList<QByteArray> turns;
    QHash<QByteArray, Waiting> waiting;
    int replyLines = 0;
    int notices = 0;
    int burst;
    int intervalMs;
    int tokens;
    // Tokens replies leave alone, so a game text due while replies wait (a
    // result is two lines) goes out at once rather than in the next slots.
    int gameReserve;
    qint64 lastRefill = -1;
};

// Longest text in one PRIVMSG: 512 bytes per line, less CR LF, the command,
// the target and the ":nick!user@host " that the server puts in front of it
// for the other members.
int maxTextBytes(const QByteArray& target);

// The PRIVMSG target for a member's name, or empty when the name is not a
// plain nick (a channel, a mask, several targets, a smuggled line break).
QByteArray privateTarget(const QString& name);

// Turns one text into PRIVMSG lines to target (each with CR LF), taking the
// text as it stands: every line that shows something is one message; <b> and
// </b> become bold, opened again on each line they cover; CR, NUL, CTCP quote
// and raw bold bytes are removed so no text can smuggle in a command; long
// lines are cut on character boundaries.
QList<QByteArray> buildPrivmsgLines(const QString& text, const QByteArray& target);

#endif
