#ifndef SERVERPROBE_H
#define SERVERPROBE_H

#include <QString>

#include "db/database.h"

namespace Database {

// How long a database server may take to answer an attach.
constexpr int serverAnswerMs = 10 * 1000;

// Attaches to the server's database on a thread of its own while the caller's
// event loop goes on (a stop signal is served meanwhile). False, with *error
// set, when the server refused, failed or said nothing within timeoutMs; a
// server that says nothing holds only that thread, never the caller.
bool serverAnswers(const Location& location, int timeoutMs, QString* error);

}

#endif
