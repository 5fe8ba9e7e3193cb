#include "importer/regularfile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

QString kindProblem(mode_t mode)
{
    if (S_ISREG(mode))
        return QString();
    const char* kind = S_ISFIFO(mode) ? "a named pipe (FIFO)"
        : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
        : S_ISDIR(mode)                  ? "a folder"
        : S_ISSOCK(mode)                 ? "a socket"
                                         : "something else";
    return QStringLiteral("%1, not a regular file").arg(QLatin1String(kind));
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}

QString problem(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    return kindProblem(info.st_mode);
}

bool open(const QString& path, QFile* file, qint64* size, QString* error)
{
    // The kind first, for the message: a socket cannot be opened at all.
    *error = problem(path);
    if (!error->isEmpty())
        return false;
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot be opened: %1").arg(systemError(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = info.st_mode ? kindProblem(info.st_mode) : QStringLiteral("cannot be opened: %1").arg(systemError(errno));
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0
        || !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = QStringLiteral("cannot be opened: %1").arg(systemError(errno));
        ::close(fd);
        return false;
    }
    *size = info.st_size;
    return true;
}

}
