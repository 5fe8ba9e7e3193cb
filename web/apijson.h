#ifndef APIJSON_H
#define APIJSON_H

#include <QByteArray>
#include <QList>

#include "web/webdata.h"

// The API's answers, built with QJsonDocument. Times are ISO 8601 with the
// offset of the database's local time.
namespace Web::Json {

QByteArray board(const Board& board);
QByteArray rooms(const QList<Room>& rooms);
QByteArray player(const Player& player);

}

#endif
