#ifndef WEBDATA_H
#define WEBDATA_H

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include "quiz/rules.h"

// What the web pages show, as plain values: the store reads them, the
// boards keep them, the pages and the JSON render them.
namespace Web {

// A period as the API and the page name it: "today", "week", "month", "all".
inline QString periodWord(Quiz::Period period)
{
    switch (period) {
    case Quiz::Period::Today:
        return QStringLiteral("today");
    case Quiz::Period::Week:
        return QStringLiteral("week");
    case Quiz::Period::Month:
        return QStringLiteral("month");
    case Quiz::Period::AllTime:
        break;
    }
    return QStringLiteral("all");
}

struct BoardRow
{
    QString name;
    qint64 points = 0;
};

// The best ten of a period, as the game's !top shows them.
struct Board
{
    Quiz::Period period = Quiz::Period::AllTime;
    QDateTime since; // invalid for all time
    QList<BoardRow> rows;
};

struct Room
{
    QString network;
    QString channel;
    QString category;
    QString state; // "starting", "question", "pause" or "stopped"
    int questionNumber = 0;
    int answerSeconds = 0;
    QDateTime askedAt; // set only while a question is open
    QDateTime updatedAt;
    // Seconds until the open question times out, by the database's clock
    // when it was read; negative while no question is open.
    double secondsLeft = -1;
};

struct CategoryCount
{
    QString name;
    int questions = 0;
};

struct DayPoints
{
    QDate day;
    int points = 0;
};

struct CategoryPoints
{
    QString name;
    int points = 0;
};

struct Player
{
    QString name;
    qint64 score = 0;
    int rank = 0; // 0: not among the members (points logged under a name since removed)
    qint64 today = 0;
    qint64 week = 0;
    qint64 month = 0;
    QList<DayPoints> days; // the last 30 days, oldest first, today last
    QList<CategoryPoints> categories; // best first, at most five
};

struct Report
{
    QString reporter;
    QDateTime reportedAt;
    QString note;
};

struct NearMiss
{
    QString answer;
    int times = 0;
    QString lastBy;
};

// A question that needs a look, with every reason it has.
struct HealthItem
{
    int contentId = 0;
    QString question;
    QString answer;
    QString category;
    QList<Report> reports;
    QList<NearMiss> nearMisses;
    int asked = 0;
    int answered = 0;
    qint64 totalMs = 0;
    bool neverAnswered = false; // asked five times or more, never answered
    bool tooFast = false; // answered three times or more, on average in under two seconds

    int reasons() const { return int(!reports.isEmpty()) + int(!nearMisses.isEmpty()) + int(neverAnswered) + int(tooFast); }
};

}

#endif
