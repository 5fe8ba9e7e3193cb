#ifndef MEMORYGAMESTORE_H
#define MEMORYGAMESTORE_H

// A game store held in memory, for rules tests: categories of questions in
// the order added, members with scores and rights. The draw takes the
// questions in turn, so a test knows what comes next.

#include <QHash>
#include <QMap>

#include "game/gamestore.h"
#include "quiz/rules.h"

class MemoryGameStore : public GameStore
{
public:
    struct Member {
        QString name;
        int score = 0;
        bool control = false;
        bool admin = false;
    };

    QMap<QString, QList<QPair<QString, QString>>> categories; // upper-cased name
    QList<Member> members;
    int drawn = 0;
    // Further accepted answers by key; what play recorded, one line each:
    // "end ID Answered|TimedOut|Abandoned MS", "near ID LINE by SPEAKER",
    // "report ID REPORTER: NOTE".
    QHash<int, QStringList> accepted;
    QStringList records;

    void addQuestion(const QString& category, const QString& question, const QString& answer)
    {
        categories[category.toUpper()].append({question, answer});
    }
    void addMember(const QString& name, int score, bool control, bool admin)
    {
        members.append({name, score, control, admin});
    }

    bool categoryExists(const QString& name) override { return categories.contains(name.toUpper()); }
    bool hasQuestions(const QString& name) override { return !categories.value(name.toUpper()).isEmpty(); }
    // The question's key is its place in its category.
    bool draw(const QString& category, Drawn* drawnQuestion) override
    {
        QList<int> playable;
        const auto& rows = categories.value(category.toUpper());
        for (int i = 0; i < rows.size(); ++i) {
            if (Quiz::isPlayable(rows.at(i).first, rows.at(i).second))
                playable.append(i);
        }
        if (playable.isEmpty())
            return false;
        const int id = playable.at(drawn++ % playable.size());
        *drawnQuestion = {id, rows.at(id).first, rows.at(id).second, accepted.value(id)};
        return true;
    }
    void resetDraw() override { drawn = 0; }

    QString givePoint(const QString& name, int) override
    {
        Member* member = find(name);
        if (!member) {
            members.append({name, 0, false, false});
            member = &members.last();
        }
        return QString::number(++member->score);
    }
    bool hasControl(const QString& name) override { return find(name) && find(name)->control; }
    bool hasAdmin(const QString& name) override { return find(name) && find(name)->admin; }
    bool listCategories(QStringList* names) override
    {
        *names = categories.keys();
        return true;
    }
    bool topTen(QList<QPair<QString, QString>>* rows) override
    {
        for (const Member& member : members)
            rows->append({member.name, QString::number(member.score)});
        return true;
    }
    // Every point counts for every period here.
    bool topTenSince(const QDateTime&, QList<QPair<QString, QString>>* rows) override { return topTen(rows); }
    Lookup myScore(const QString& name, QString* score) override { return scoreOf(name, score); }
    Lookup userScore(const QString& name, QString* score) override { return scoreOf(name, score); }

    void recordEnd(int id, End end, qint64 ms) override
    {
        const char* how = end == End::Answered ? "Answered" : end == End::TimedOut ? "TimedOut" : "Abandoned";
        records << QStringLiteral("end %1 %2 %3").arg(id).arg(QLatin1String(how)).arg(ms);
    }
    void recordNearMiss(int id, const QString& line, const QString& speaker) override
    {
        records << QStringLiteral("near %1 %2 by %3").arg(id).arg(line, speaker);
    }
    void setRoom(const QString&, const QString&) override {}
    // "room STATE CATEGORY #NUMBER Ns"
    void updateRoom(const RoomState& room) override
    {
        rooms << QStringLiteral("room %1 %2 #%3 %4s")
                     .arg(room.state, room.category)
                     .arg(room.questionNumber)
                     .arg(room.answerSeconds);
        if (roomsOutliving)
            *roomsOutliving = rooms;
    }
    QStringList rooms;
    // A copy for a test that outlives the game owning this store.
    QStringList* roomsOutliving = nullptr;
    // Refuses a second report by the same member, as the database does.
    Report report(int id, const QString& reporter, const QString& note) override
    {
        const QString line = QStringLiteral("report %1 %2: %3").arg(id).arg(reporter, note);
        if (!records.filter(QStringLiteral("report %1 %2:").arg(id).arg(reporter), Qt::CaseInsensitive).isEmpty())
            return Report::AlreadyReported;
        records << line;
        return Report::Stored;
    }

private:
    Member* find(const QString& name)
    {
        for (Member& member : members) {
            if (member.name.compare(name, Qt::CaseInsensitive) == 0)
                return &member;
        }
        return nullptr;
    }
    Lookup scoreOf(const QString& name, QString* score)
    {
        const Member* member = find(name);
        if (!member)
            return Lookup::Missing;
        *score = QString::number(member->score);
        return Lookup::Found;
    }
};

#endif
