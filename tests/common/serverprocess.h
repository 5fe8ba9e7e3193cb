#ifndef SERVERPROCESS_H
#define SERVERPROCESS_H

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// A loopback port nobody listens on now; it may be taken again before the
// server binds it, so callers try a few times.
quint16 freeLoopbackPort();

// Starts program and waits until it accepts connections on the loopback
// port. On failure the process is killed and *error says why, with the end
// of what it printed.
bool startServerProcess(QProcess& process, const QString& program, const QStringList& arguments, quint16 port,
                        int timeoutMs, QString* error);

// Asks a server to end and kills it when it has not within gentleMs.
void stopServerProcess(QProcess& process, int gentleMs = 3000);

// Writes a configuration file whole; false if that failed.
bool writeFile(const QString& path, const QByteArray& content);
// A file's whole contents; empty if it cannot be read.
QByteArray readFile(const QString& path);

#endif
