#include "gui/log.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

bool windowless = false;

// systemd names the stream it connected as "device:inode"; the level prefix
// only means something to the journal, not to a terminal or a file.
bool stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat info {};
    if (stream.isEmpty() || fstat(2, &info) != 0)
        return false;
    const QList<QByteArray> parts = stream.split(':');
    return parts.size() == 2 && parts[0].toULongLong() == quint64(info.st_dev)
        && parts[1].toULongLong() == quint64(info.st_ino);
}

void write(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    static const bool journal = stderrIsJournal();
    const QByteArray bytes = Log::line(type, message, journal).toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

}

namespace Log {

void install()
{
    qInstallMessageHandler(write);
}

QString line(QtMsgType type, const QString& message, bool journal)
{
    // Syslog priorities, as the journal reads them.
    int priority = 6;
    const char* level = "info";
    switch (type) {
    case QtDebugMsg: priority = 7; level = "debug"; break;
    case QtInfoMsg: priority = 6; level = "info"; break;
    case QtWarningMsg: priority = 4; level = "warning"; break;
    case QtCriticalMsg: priority = 3; level = "error"; break;
    case QtFatalMsg: priority = 2; level = "critical"; break;
    }
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    text.replace(QLatin1Char('\n'), QLatin1String(" | "));
    text.replace(QLatin1Char('\r'), QLatin1String(" | "));
    if (journal)
        return QStringLiteral("<%1>%2").arg(priority).arg(text);
    return QStringLiteral("quiznewt: %1: %2").arg(QLatin1String(level), text);
}

void setNoWindow(bool on)
{
    windowless = on;
}

bool noWindow()
{
    return windowless;
}

}
