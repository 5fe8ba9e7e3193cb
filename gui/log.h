#ifndef LOG_H
#define LOG_H

#include <QString>

// The program's log: every message of the process as one line on standard
// error with its level, and no colour. Under systemd, whose journal reads
// the level from a "<N>" prefix, that prefix replaces the program name.
namespace Log {

void install();

// The line for one message; line breaks inside it become " | ".
QString line(QtMsgType type, const QString& message, bool journal);

// With no window (--no-window) nothing may wait for the operator: message
// boxes become log lines, there is no tray icon and no first-run question.
void setNoWindow(bool on);
bool noWindow();

}

#endif
