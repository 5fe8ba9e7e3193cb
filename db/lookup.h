#ifndef LOOKUP_H
#define LOOKUP_H

#include <QString>
#include <QStringList>

namespace Database {

// What looking for one row came to: a failed statement is not a missing row.
enum class Lookup { Failed, Found, Missing };

// How a question that was asked ended.
enum class QuestionEnd { Answered, TimedOut, Abandoned };
// What became of a player's report.
enum class ReportOutcome { Stored, AlreadyReported, TooMany, Failed };

// A room's game as others may watch it: "question", "pause" or "stopped",
// and the questions asked since the start.
struct RoomState {
    QString category;
    QString state;
    int answerSeconds = 0;
    int questionNumber = 0;
};

// A question as the draw hands it to the game: its key, its texts and the
// further answers it accepts.
struct DrawnQuestion {
    int id = -1;
    QString question;
    QString answer;
    QStringList accepted;
};

}

#endif
