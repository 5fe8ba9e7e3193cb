#include "web/apijson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Web::Json {

namespace {

QJsonValue time(const QDateTime& moment)
{
    if (!moment.isValid())
        return QJsonValue::Null;
    return moment.toOffsetFromUtc(moment.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray document(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}

QByteArray board(const Board& board)
{
    QJsonArray rows;
    int rank = 0;
    for (const BoardRow& row : board.rows)
        rows.append(QJsonObject{{QStringLiteral("rank"), ++rank},
                                {QStringLiteral("name"), row.name},
                                {QStringLiteral("points"), row.points}});
    return document({{QStringLiteral("period"), periodWord(board.period)},
                     {QStringLiteral("since"), time(board.since)},
                     {QStringLiteral("top"), rows}});
}

QByteArray rooms(const QList<Room>& rooms)
{
    QJsonArray list;
    for (const Room& room : rooms) {
        const bool open = room.secondsLeft >= 0;
        list.append(QJsonObject{
            {QStringLiteral("network"), room.network},
            {QStringLiteral("channel"), room.channel},
            {QStringLiteral("category"), room.category},
            {QStringLiteral("state"), room.state},
            {QStringLiteral("question_number"), room.questionNumber},
            {QStringLiteral("answer_seconds"), room.answerSeconds},
            {QStringLiteral("asked_at"), time(room.askedAt)},
            {QStringLiteral("seconds_left"), open ? QJsonValue(qRound(room.secondsLeft * 10) / 10.0) : QJsonValue()},
            {QStringLiteral("updated_at"), time(room.updatedAt)},
        });
    }
    return document({{QStringLiteral("rooms"), list}});
}

QByteArray player(const Player& player)
{
    QJsonArray days;
    for (const DayPoints& day : player.days)
        days.append(QJsonObject{{QStringLiteral("date"), day.day.toString(Qt::ISODate)},
                                {QStringLiteral("points"), day.points}});
    QJsonArray categories;
    for (const CategoryPoints& category : player.categories)
        categories.append(QJsonObject{{QStringLiteral("name"), category.name},
                                      {QStringLiteral("points"), category.points}});
    return document({
        {QStringLiteral("name"), player.name},
        {QStringLiteral("score"), player.score},
        {QStringLiteral("rank"), player.rank > 0 ? QJsonValue(player.rank) : QJsonValue()},
        {QStringLiteral("points"), QJsonObject{{QStringLiteral("today"), player.today},
                                               {QStringLiteral("week"), player.week},
                                               {QStringLiteral("month"), player.month}}},
        {QStringLiteral("days"), days},
        {QStringLiteral("categories"), categories},
    });
}

}
