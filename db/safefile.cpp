#include "db/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace SafeFile {

namespace {

// ".quiznewt.fdb.tmp-PID-N": hidden, and naming the process that writes it.
QString prefixFor(const QFileInfo& target)
{
    return QLatin1Char('.') + target.fileName() + QStringLiteral(".tmp-");
}

bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The data must be on disk before the name points at it.
void syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void syncFolder(const QString& path)
{
    syncFile(QFileInfo(path).absolutePath());
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString temporaryFor(const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = prefixFor(info);
    QDir dir = info.absoluteDir();
    const QStringList left =
        dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : left) {
        const qint64 pid = name.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
        if (pid != ::getpid() && !processRuns(pid))
            dir.remove(name);
    }
    static int serial = 0;
    return dir.filePath(prefix + QStringLiteral("%1-%2").arg(::getpid()).arg(++serial));
}

bool moveIntoPlace(const QString& temporary, const QString& target, QString* error)
{
    syncFile(temporary);
    // link() refuses an existing name, where rename() would replace it; a
    // file system without links gets the next best, a look first.
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(target);
    int linked = ::link(from.constData(), to.constData());
    if (linked != 0 && errno != EEXIST && !QFileInfo::exists(target))
        linked = ::rename(from.constData(), to.constData());
    if (linked != 0) {
        *error = errno == EEXIST ? QStringLiteral("%1 already exists; it was left unchanged.").arg(target)
                                 : QStringLiteral("Cannot write %1: %2").arg(target, systemError());
        QFile::remove(temporary);
        return false;
    }
    QFile::remove(temporary);
    syncFolder(target);
    return true;
}

bool replace(const QString& temporary, const QString& target, QString* error)
{
    syncFile(temporary);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, systemError());
        QFile::remove(temporary);
        return false;
    }
    syncFolder(target);
    return true;
}

}
