#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The whole file, write-locked. POSIX record locks can be tested without
// taking them (F_GETLK), which also tells who holds one.
struct flock wholeFile(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

}

SingleInstance::SingleInstance(const QString& lockPath)
    : path(lockPath)
{
}

SingleInstance::~SingleInstance()
{
    if (fd >= 0)
        ::close(fd);
}

bool SingleInstance::acquire()
{
    if (fd >= 0)
        return true;
    const QByteArray name = QFile::encodeName(path);
    const int file = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0)
        return true;
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(file, F_SETLK, &lock) == -1) {
        const bool held = errno == EACCES || errno == EAGAIN;
        ::close(file);
        return !held;
    }
    fd = file;
    return true;
}

qint64 SingleInstance::holderPid(const QString& lockPath)
{
    const QByteArray name = QFile::encodeName(lockPath);
    const int file = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (file < 0)
        return 0;
    struct flock lock = wholeFile(F_WRLCK);
    qint64 pid = 0;
    if (::fcntl(file, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK)
        pid = lock.l_pid;
    ::close(file);
    return pid;
}

QString SingleInstance::defaultLockPath(const QString& profile)
{
    const QString lockFileName =
        profile.isEmpty() ? QStringLiteral("quiznewt.lock") : QStringLiteral("quiznewt-%1.lock").arg(profile);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(lockFileName);
    const QString dir = QDir::tempPath() + QStringLiteral("/quiznewt-%1").arg(::getuid());
    QDir().mkpath(dir);
    // Another user could have made this directory first and hold the lock.
    if (QFileInfo(dir).ownerId() != ::getuid())
        return QDir::home().filePath(QLatin1Char('.') + lockFileName);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QDir(dir).filePath(lockFileName);
}
