#ifndef MEMORYGAMESTORE_H
#define MEMORYGAMESTORE_H

// A game store held in memory, for rules tests: categories of questions in
// the order added, members with scores and rights. The draw takes the
// questions in turn, so a test knows what comes next.

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

    void addQuestion(const QString& category, const QString& question, const QString& answer)
    {
        categories[category.toUpper()].append({question, answer});
    }
    void addMember(const QString& name, int score, bool control, bool admin)
    {
        members.append({name, score, control, admin});
    }

    bool categoryExists(const QString& name) override { return categories.contains(name.toUpper()); }
    int countCategory(const QString& name) override { return int(categories.value(name.toUpper()).size()); }
    bool draw(const QString& category, QString* question, QString* answer) override
    {
        QList<QPair<QString, QString>> playable;
        for (const auto& row : categories.value(category.toUpper())) {
            if (Quiz::isPlayable(row.first, row.second))
                playable.append(row);
        }
        if (playable.isEmpty())
            return false;
        const auto& row = playable.at(drawn++ % playable.size());
        *question = row.first;
        *answer = row.second;
        return true;
    }
    void resetDraw() override { drawn = 0; }

    QString givePoint(const QString& name) override
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
    Lookup myScore(const QString& name, QString* score) override { return scoreOf(name, score); }
    Lookup userScore(const QString& name, QString* score) override { return scoreOf(name, score); }

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
