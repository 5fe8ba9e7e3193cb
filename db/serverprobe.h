#ifndef SERVERPROBE_H
#define SERVERPROBE_H

#include <QString>

#include "db/database.h"

namespace Database {

// How long a database server may take to answer an attach.
constexpr int serverAnswerMs = 8 * 1000;

enum class ServerAnswer { Attached, Refused, Silent };

// Attaches to the server's database on a thread of its own while the caller's
// event loop goes on (a stop signal is served meanwhile, and ends the wait).
// Refused and Silent set *error; a server that says nothing within timeoutMs
// holds only that thread, never the caller.
ServerAnswer askServer(const Location& location, int timeoutMs, QString* error);

}

#endif
