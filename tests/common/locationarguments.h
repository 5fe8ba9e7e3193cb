#ifndef LOCATIONARGUMENTS_H
#define LOCATIONARGUMENTS_H

#include <QStringList>

#include "db/database.h"

// A database on a worker process's command line: server (empty: embedded),
// port, path, user, password.
inline QStringList locationArguments(const Database::Location& location)
{
    return {location.server, QString::number(location.port), location.path, location.user, location.password};
}

// The location from the five arguments that locationArguments() gives.
inline Database::Location locationFrom(const QStringList& args)
{
    Database::Location location;
    location.server = args.at(0);
    location.port = args.at(1).toInt();
    location.path = args.at(2);
    location.user = args.at(3);
    location.password = args.at(4);
    return location;
}

#endif
