#include "ircmessage.h"

#include <QStringDecoder>

QByteArray IrcMessage::nick() const
{
    int end = prefix.size();
    for (int i = 0; i < prefix.size(); ++i) {
        if (prefix.at(i) == '!' || prefix.at(i) == '@') {
            end = i;
            break;
        }
    }
    return prefix.left(end);
}

IrcMessage IrcMessage::parse(const QByteArray& line)
{
    IrcMessage message;
    const int size = line.size();
    int pos = 0;
    auto skipBlanks = [&] {
        while (pos < size && line.at(pos) == ' ')
            ++pos;
    };
    auto word = [&] {
        const int start = pos;
        while (pos < size && line.at(pos) != ' ')
            ++pos;
        return line.mid(start, pos - start);
    };

    skipBlanks();
    if (pos < size && line.at(pos) == '@') {
        word();
        skipBlanks();
    }
    if (pos < size && line.at(pos) == ':') {
        ++pos;
        message.prefix = word();
        skipBlanks();
    }
    message.command = word().toUpper();
    while (true) {
        skipBlanks();
        if (pos >= size)
            break;
        if (line.at(pos) == ':') {
            message.params.append(line.mid(pos + 1));
            break;
        }
        message.params.append(word());
    }
    return message;
}

QString decodeIrcText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

static bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

static bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// Length of the digits after position pos: at most max, each passing test.
template <typename Test>
static int runOf(const QString& text, int pos, int max, Test test)
{
    int n = 0;
    while (n < max && pos + n < text.size() && test(text.at(pos + n)))
        ++n;
    return n;
}

QString stripIrcFormatting(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case 0x02: case 0x0F: case 0x11: case 0x16: case 0x1D: case 0x1E: case 0x1F:
            break;
        case 0x03: {
            // Colour: up to two digits, then ",bg" only if a digit follows the comma.
            int n = runOf(text, i + 1, 2, isDigit);
            if (n > 0 && i + 1 + n < size && text.at(i + 1 + n) == QLatin1Char(',')) {
                const int bg = runOf(text, i + 2 + n, 2, isDigit);
                if (bg > 0)
                    n += 1 + bg;
            }
            i += n;
            break;
        }
        case 0x04: {
            // Hex colour: six hex digits, optionally ",RRGGBB" for the background.
            int n = runOf(text, i + 1, 6, isHexDigit) == 6 ? 6 : 0;
            if (n == 6 && i + 7 < size && text.at(i + 7) == QLatin1Char(',')
                && runOf(text, i + 8, 6, isHexDigit) == 6)
                n += 7;
            i += n;
            break;
        }
        default:
            out.append(QChar(c));
        }
    }
    return out;
}

QByteArray ircLower(const QByteArray& name)
{
    QByteArray lower = name.toLower();
    for (char& c : lower) {
        switch (c) {
        case '[': c = '{'; break;
        case ']': c = '}'; break;
        case '\\': c = '|'; break;
        case '~': c = '^'; break;
        default: break;
        }
    }
    return lower;
}
