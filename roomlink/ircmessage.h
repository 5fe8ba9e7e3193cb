#ifndef IRCMESSAGE_H
#define IRCMESSAGE_H

#include <QByteArray>
#include <QList>
#include <QString>

// One line from an IRC server, split into its parts. Bytes stay bytes: the
// text is decoded only where it is shown, because IRC has no fixed encoding.
struct IrcMessage
{
    QByteArray prefix;          // without the leading ':'
    QByteArray command;         // upper case, or a three-digit reply number
    QList<QByteArray> params;   // the trailing parameter last, without its ':'

    bool isValid() const { return !command.isEmpty(); }
    // The nick of a "nick!user@host" prefix, or the whole prefix of a server.
    QByteArray nick() const;
    QByteArray param(int i) const { return i < params.size() ? params.at(i) : QByteArray(); }

    // Parses one line without its CR LF; message tags are skipped.
    static IrcMessage parse(const QByteArray& line);
};

// UTF-8 when the bytes are valid UTF-8, otherwise Latin-1, as most clients do.
QString decodeIrcText(const QByteArray& bytes);

// Removes mIRC formatting: colours (\x03 and hex \x04 with their numbers)
// and the bold, italic, underline, reverse, strike, monospace and reset codes.
QString stripIrcFormatting(const QString& text);

// Case folding of nicks and channels (rfc1459: []\~ are the upper case of {}|^).
QByteArray ircLower(const QByteArray& name);

#endif
