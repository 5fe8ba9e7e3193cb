#ifndef GAMESTORE_H
#define GAMESTORE_H

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "db/lookup.h"

// What the game reads and writes: categories, the draw and the members.
// Names are compared without regard to case unless said otherwise.
class GameStore
{
public:
    using Lookup = Database::Lookup;
    using Drawn = Database::DrawnQuestion;
    using End = Database::QuestionEnd;
    using Report = Database::ReportOutcome;
    using RoomState = Database::RoomState;

    virtual ~GameStore() = default;

    virtual bool categoryExists(const QString& name) = 0;
    // The category holds at least one question; false when the lookup fails.
    virtual bool hasQuestions(const QString& name) = 0;
    // A uniform pick among the category's playable questions as they are
    // now, retired ones left out; false when none is left or the lookup failed.
    virtual bool draw(const QString& category, Drawn* drawn) = 0;
    // The next draw reads the category afresh: it was renamed or restarted.
    virtual void resetDraw() = 0;
    // Lets go of any result a lookup still holds.
    virtual void finish() {}

    // One point for name, who is added with no rights when unknown, for the
    // question with key id; the new score as text ("0" when it cannot be read
    // back).
    virtual QString givePoint(const QString& name, int id) = 0;
    virtual bool hasControl(const QString& name) = 0;
    virtual bool hasAdmin(const QString& name) = 0;

    // Every category name in order; false when the lookup fails.
    virtual bool listCategories(QStringList* names) = 0;
    // Name and score of the best ten; false when the lookup fails.
    virtual bool topTen(QList<QPair<QString, QString>>* rows) = 0;
    // The best ten by points given since `since`, a name in any case counted
    // as one; false when the lookup fails.
    virtual bool topTenSince(const QDateTime& since, QList<QPair<QString, QString>>* rows) = 0;
    // The speaker's own score, the name compared exactly.
    virtual Lookup myScore(const QString& name, QString* score) = 0;
    virtual Lookup userScore(const QString& name, QString* score) = 0;

    // What play teaches about a question, by its key. A record that cannot
    // be stored is let go: play goes on.
    // ms: from the question reaching the room to the correct answer.
    virtual void recordEnd(int id, End end, qint64 ms) = 0;
    virtual void recordNearMiss(int id, const QString& line, const QString& speaker) = 0;
    virtual Report report(int id, const QString& reporter, const QString& note) = 0;
    // The room the game plays in, and its game's state for those watching.
    virtual void setRoom(const QString& network, const QString& channel) = 0;
    virtual void updateRoom(const RoomState& room) = 0;
};

#endif
