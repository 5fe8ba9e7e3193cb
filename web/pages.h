#ifndef PAGES_H
#define PAGES_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "web/webdata.h"

// The HTML pages, written whole by the server. Every text that comes from
// the database or a room goes through escape() on its way in.
namespace Web::Html {

QString escape(const QString& text);

// The path of a player's page, the name percent-encoded.
QString playerPath(const QString& name);

// boards: today, this week, this month, all time.
QByteArray homePage(const QList<Room>& rooms, const QList<Board>& boards, const QList<CategoryCount>& categories);
QByteArray playerPage(const Player& player);
QByteArray healthPage(const QList<HealthItem>& items);

// Points per day as bars, drawn here so that the page needs no script.
QString dailyPlot(const QList<DayPoints>& days);

// "Today", "This week", "This month", "All time".
QString boardTitle(Quiz::Period period);

}

#endif
