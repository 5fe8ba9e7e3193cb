#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QString>

// One running program per user. A running instance is recognised by a lock
// it holds on a file in the user's runtime directory from before its main
// window exists until the process ends, so a window hidden in the tray still
// counts. The kernel drops the lock when the process dies, even by SIGKILL,
// so a crashed instance never blocks the next start.
class SingleInstance
{
public:
    explicit SingleInstance(const QString& lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one instance; false when another
    // process holds the lock. A lock file that cannot be made at all does not
    // stop the program.
    bool acquire();

    // The process holding the lock on lockPath, or 0 when none does. Only for
    // other processes: a record lock ends when its holder closes any
    // descriptor of the file, which this does.
    static qint64 holderPid(const QString& lockPath);

    // $XDG_RUNTIME_DIR/quiznewt.lock, or a private directory of this user
    // under the temporary directory where there is no runtime directory. A
    // profile has its own lock there, quiznewt-NAME.lock, so each profile
    // runs once.
    static QString defaultLockPath(const QString& profile = QString());

private:
    QString path;
    int fd = -1;
};

#endif
