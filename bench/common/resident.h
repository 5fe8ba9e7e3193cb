#ifndef RESIDENT_H
#define RESIDENT_H

#include <QByteArray>
#include <QFile>
#include <QString>

// A process's resident memory in kB from /proc (this process's without a
// pid), or -1.
inline qint64 residentKb(qint64 pid = 0)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

#endif
