#include "sendqueue.h"

#include <QStringList>

#include <utility>

SendQueue::SendQueue(int burst, int intervalMs)
    : burst(qMax(1, burst)),
      intervalMs(qMax(1, intervalMs)),
      tokens(this->burst),
      gameReserve(qMin(2, this->burst - 1))
{
}

void SendQueue::enqueueGame(const QList<QByteArray>& lines, std::function<void()> onSent)
{
    for (const QByteArray& line : lines)
        game.append({line, {}});
    if (!onSent)
        return;
    if (lines.isEmpty())
        game.append({QByteArray(), std::move(onSent)});
    else
        game.last().onSent = std::move(onSent);
}

bool SendQueue::enqueueReply(const QByteArray& member, const QList<QByteArray>& lines, const QByteArray& notice)
{
    if (lines.isEmpty())
        return false;
    Waiting& mine = waiting[member];
    for (const Pending& pending : std::as_const(mine.replies)) {
        if (pending.lines == lines)
            return true;
    }
    const int size = int(lines.size());
    // Members with replies waiting leave the last lines of the total to those
    // who have none, so someone who asks once is not turned away by a flood.
    const int total = mine.lines > 0 ? maxWaitingReplyLines - newcomerLines : maxWaitingReplyLines;
    const bool fits = replyLines == 0 || (mine.lines + size <= maxMemberLines && replyLines + size <= total);
    if (fits) {
        mine.replies.append({lines, false});
        mine.lines += size;
        replyLines += size;
    } else if (!notice.isEmpty() && !mine.notice && notices < maxWaitingNotices) {
        mine.replies.append({{notice}, true});
        mine.notice = true;
        ++mine.lines;
        ++replyLines;
        ++notices;
    }
    if (mine.replies.isEmpty())
        waiting.remove(member);
    else if (!turns.contains(member))
        turns.append(member);
    return fits;
}

void SendQueue::refill(qint64 nowMs)
{
    if (lastRefill < 0 || tokens >= burst) {
        lastRefill = nowMs;
        return;
    }
    const qint64 gained = (nowMs - lastRefill) / intervalMs;
    if (gained <= 0)
        return;
    if (tokens + gained >= burst) {
        tokens = burst;
        lastRefill = nowMs;
    } else {
        tokens += int(gained);
        lastRefill += gained * intervalMs;
    }
}

QByteArray SendQueue::takeReply()
{
    const QByteArray member = turns.takeFirst();
    Waiting& mine = waiting[member];
    const Pending& reply = mine.replies.first();
    const QByteArray line = reply.lines.at(mine.next++);
    --mine.lines;
    --replyLines;
    if (mine.next == reply.lines.size()) {
        if (reply.notice) {
            mine.notice = false;
            --notices;
        }
        mine.replies.removeFirst();
        mine.next = 0;
    }
    // Served: to the back of the line, behind everyone who waits.
    if (mine.replies.isEmpty())
        waiting.remove(member);
    else
        turns.append(member);
    return line;
}

QList<SendQueue::Line> SendQueue::takeDue(qint64 nowMs)
{
    refill(nowMs);
    QList<Line> due;
    // The end of an empty text costs no token, but still waits its turn.
    while (!game.isEmpty() && (tokens > 0 || game.first().bytes.isEmpty())) {
        if (!game.first().bytes.isEmpty())
            --tokens;
        due.append(game.takeFirst());
    }
    while (tokens > gameReserve && replyLines > 0) {
        due.append({takeReply(), {}});
        --tokens;
    }
    return due;
}

qint64 SendQueue::msUntilNext(qint64 nowMs)
{
    if (isEmpty())
        return -1;
    refill(nowMs);
    if (!game.isEmpty() && (tokens > 0 || game.first().bytes.isEmpty()))
        return 0;
    if (replyLines > 0 && tokens > gameReserve)
        return 0;
    return qMax<qint64>(0, lastRefill + intervalMs - nowMs);
}

QList<SendQueue::Line> SendQueue::takeAll()
{
    QList<Line> all = std::exchange(game, {});
    while (replyLines > 0)
        all.append({takeReply(), {}});
    return all;
}

void SendQueue::reset()
{
    game.clear();
    turns.clear();
    waiting.clear();
    replyLines = 0;
    notices = 0;
    tokens = burst;
    lastRefill = -1;
}

int maxTextBytes(const QByteArray& target)
{
    // ':' nick(30) '!' user(10) '@' host(63) ' ' = 107, rounded up.
    const int prefixReserve = 110;
    const int room = 512 - 2 - prefixReserve - int(sizeof("PRIVMSG  :") - 1) - target.size();
    return qBound(32, room, 400);
}

QByteArray privateTarget(const QString& name)
{
    // A leading #&+! names a channel, $ a server mask, @%~ a rank of a channel.
    if (name.isEmpty() || QStringLiteral("#&+!$@%~:").contains(name.at(0)))
        return {};
    for (QChar c : name) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || QStringLiteral(",*?!@.:").contains(c))
            return {};
    }
    return name.toUtf8();
}

// Splits UTF-8 text into pieces of at most max bytes, never inside a sequence.
static QList<QByteArray> splitUtf8(const QByteArray& text, int max)
{
    QList<QByteArray> pieces;
    int start = 0;
    while (text.size() - start > max) {
        int cut = start + max;
        // Continuation bytes are 10xxxxxx; back up to the lead byte.
        while (cut > start && (uchar(text.at(cut)) & 0xC0) == 0x80)
            --cut;
        if (cut == start)
            cut = start + max;
        pieces.append(text.mid(start, cut - start));
        start = cut;
    }
    pieces.append(text.mid(start));
    return pieces;
}

// True when the line holds nothing a member can see: empty, blanks, or
// formatting codes alone.
static bool showsNothing(const QString& line)
{
    for (QChar c : line) {
        if (!c.isSpace() && c != QChar(0x02))
            return false;
    }
    return true;
}

QList<QByteArray> buildPrivmsgLines(const QString& text, const QByteArray& target)
{
    QString body = text;
    body.remove(QLatin1Char('\r'));
    body.remove(QChar(0));
    body.remove(QChar(1));
    // Raw bold codes would upset the count of what is bold below.
    body.remove(QChar(0x02));

    const QByteArray head = "PRIVMSG " + target + " :";
    // One byte kept for the bold code that opens a continued piece.
    const int max = maxTextBytes(target) - 1;
    QList<QByteArray> lines;
    // IRC ends formatting at each line's end: bold that spans lines is
    // opened again on each, and a line of tags alone is not sent.
    bool bold = false;
    const QStringList parts = body.split(QLatin1Char('\n'));
    for (const QString& part : parts) {
        QString shown = bold ? QStringLiteral("\x02") : QString();
        for (qsizetype i = 0; i < part.size(); ++i) {
            if (part.mid(i, 3) == QLatin1String("<b>")) {
                if (!bold)
                    shown += QChar(0x02);
                bold = true;
                i += 2;
            } else if (part.mid(i, 4) == QLatin1String("</b>")) {
                if (bold)
                    shown += QChar(0x02);
                bold = false;
                i += 3;
            } else {
                shown += part.at(i);
            }
        }
        if (showsNothing(shown))
            continue;
        bool pieceBold = false;
        for (const QByteArray& piece : splitUtf8(shown.toUtf8(), max)) {
            lines.append(head + (pieceBold ? "\x02" : "") + piece + "\r\n");
            if (piece.count('\x02') % 2)
                pieceBold = !pieceBold;
        }
    }
    return lines;
}
