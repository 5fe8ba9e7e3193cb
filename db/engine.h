#ifndef ENGINE_H
#define ENGINE_H

#include <QString>

#include <ibase.h>

namespace Database {

// The system's engine root (plugins, messages, character sets), or empty.
QString systemEngineRoot();

// The engine's messages of a status vector, joined into one line.
QString statusText(const ISC_STATUS* status);

}

#endif
