#include "sendqueue.h"

#include <QStringList>

SendQueue::SendQueue(int burst, int intervalMs)
    : burst(qMax(1, burst)), intervalMs(qMax(1, intervalMs)), tokens(this->burst)
{
}

void SendQueue::enqueue(const QByteArray& line)
{
    queue.append(line);
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

QList<QByteArray> SendQueue::takeDue(qint64 nowMs)
{
    refill(nowMs);
    QList<QByteArray> due;
    while (tokens > 0 && !queue.isEmpty()) {
        due.append(queue.takeFirst());
        --tokens;
    }
    return due;
}

qint64 SendQueue::msUntilNext(qint64 nowMs)
{
    if (queue.isEmpty())
        return -1;
    refill(nowMs);
    if (tokens > 0)
        return 0;
    return qMax<qint64>(0, lastRefill + intervalMs - nowMs);
}

void SendQueue::reset()
{
    queue.clear();
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

static QByteArray privateTarget(const QString& text, QString* rest)
{
    static const QString msg = QStringLiteral("/msg ");
    if (!text.startsWith(msg))
        return {};
    const int blank = text.indexOf(QLatin1Char(' '), msg.size());
    if (blank < 0)
        return {};
    const QString name = text.mid(msg.size(), blank - msg.size());
    // A name that could address a channel or several targets is not a member.
    if (name.isEmpty() || name.startsWith(QLatin1Char(':')) || name.startsWith(QLatin1Char('#'))
        || name.startsWith(QLatin1Char('&')))
        return {};
    for (QChar c : name) {
        if (c == QLatin1Char(',') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return {};
    }
    *rest = text.mid(blank + 1);
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

QList<QByteArray> buildPrivmsgLines(const QString& text, const QByteArray& channel)
{
    QString body = text;
    QByteArray target = privateTarget(text, &body);
    if (target.isEmpty())
        target = channel;

    body.replace(QStringLiteral("<b>"), QStringLiteral("\x02"));
    body.replace(QStringLiteral("</b>"), QStringLiteral("\x02"));
    body.remove(QLatin1Char('\r'));
    body.remove(QChar(0));
    body.remove(QChar(1));

    const QByteArray head = "PRIVMSG " + target + " :";
    const int max = maxTextBytes(target);
    QList<QByteArray> lines;
    const QStringList parts = body.split(QLatin1Char('\n'));
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        for (const QByteArray& piece : splitUtf8(part.toUtf8(), max))
            lines.append(head + piece + "\r\n");
    }
    return lines;
}
