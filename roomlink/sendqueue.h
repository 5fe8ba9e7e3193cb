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
// replies never take the last two tokens, so a game line goes out as soon as it
// is posted however long the replies waiting. Game lines are
// never dropped; replies are bounded, so the queue stays short however many
// members ask at once.
class SendQueue
{
public:
    static constexpr int defaultBurst = 5;
    static constexpr int defaultIntervalMs = 1000;
    // A reply is cut after this many lines.
    static constexpr int maxReplyLines = 20;
    // Reply lines that may wait, all members together.
    static constexpr int maxWaitingReplyLines = 40;

    struct Line
    {
        QByteArray bytes;   // empty for the end of an empty game text
        // Set on a game text's last line: run once that line is written.
        std::function<void()> onSent;
    };

    explicit SendQueue(int burst = defaultBurst, int intervalMs = defaultIntervalMs);

    // Queues the lines of one game text; onSent goes with its last line.
    void enqueueGame(const QList<QByteArray>& lines, std::function<void()> onSent = {});
    // Queues one reply for member (a case-folded nick), cut to maxReplyLines.
    // Returns false and queues nothing when that member's previous reply still
    // waits or the reply does not fit under maxWaitingReplyLines.
    bool enqueueReply(const QByteArray& member, QList<QByteArray> lines);

    // Removes and returns the lines that may be written at nowMs, game lines first.
    QList<Line> takeDue(qint64 nowMs);
    // Milliseconds from nowMs until the next line may go; -1 when empty.
    qint64 msUntilNext(qint64 nowMs);
    // Removes and returns every waiting line, whatever the bucket holds.
    QList<Line> takeAll();
    int size() const { return int(game.size() + replies.size()); }
    bool isEmpty() const { return game.isEmpty() && replies.isEmpty(); }
    // Drops every waiting line (and its onSent) and fills the bucket again.
    void reset();

private:
    struct ReplyLine
    {
        QByteArray bytes;
        QByteArray member;
    };

    void refill(qint64 nowMs);
    QByteArray takeReply();

    QList<Line> game;
    QList<ReplyLine> replies;
    QHash<QByteArray, int> waitingPerMember;
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
