#include "db/questionwriter.h"

#include <QSqlDatabase>
#include <QVariant>

#include <algorithm>

#include "db/statements.h"

namespace {

// The table's trigger refuses an answer equal, ignoring case, to the
// question's answer or to another accepted one.
const QString addAcceptedAnswer =
    QStringLiteral("INSERT INTO content_answer (contentID, answer) VALUES (:contentID, :answer)");

}

QuestionWriter::QuestionWriter(const QSqlDatabase& db)
    : insert(db), link(db), undo(db), addAccepted(db), shortRows{QSqlQuery(db)}, longRows{QSqlQuery(db)}
{
    if (!insert.prepare(Statements::addContent))
        unprepared = insert.lastError();
    else if (!link.prepare(Statements::addLink))
        unprepared = link.lastError();
    else if (!undo.prepare(Statements::deleteContent))
        unprepared = undo.lastError();
}

QuestionWriter::Result QuestionWriter::add(qint64 catId, const QString& question, const QString& answer,
                                           const QStringList& accepted, QList<Refused>* refused)
{
    if (unprepared.isValid())
        return {Outcome::Failed, unprepared};
    insert.bindValue(QStringLiteral(":question"), question);
    insert.bindValue(QStringLiteral(":answer"), answer);
    // Firebird undoes the failed statement alone; the transaction goes on.
    if (!insert.exec())
        return {Outcome::Refused, insert.lastError()};
    if (!insert.next())
        return {Outcome::Failed, insert.lastError()};
    const qint64 contentId = insert.value(0).toLongLong();
    link.bindValue(QStringLiteral(":catID"), catId);
    link.bindValue(QStringLiteral(":contentID"), contentId);
    if (link.exec()) {
        if (!accepted.isEmpty() && !acceptedPrepared) {
            if (!addAccepted.prepare(addAcceptedAnswer))
                return {Outcome::Failed, addAccepted.lastError()};
            acceptedPrepared = true;
        }
        for (const QString& text : accepted) {
            addAccepted.bindValue(QStringLiteral(":contentID"), contentId);
            addAccepted.bindValue(QStringLiteral(":answer"), text);
            // Firebird undoes the failed statement alone: the question stays.
            if (!addAccepted.exec() && refused)
                refused->append({text, addAccepted.lastError()});
        }
        return {Outcome::Stored, QSqlError(), contentId};
    }
    const QSqlError linkError = link.lastError();
    undo.bindValue(QStringLiteral(":contentID"), contentId);
    if (!undo.exec())
        return {Outcome::Failed, undo.lastError()};
    return {Outcome::Refused, linkError};
}

namespace {

// The engine takes at most 64 KB of parameters a statement, 4 bytes a
// character. Most questions are short: 16 of them go at once, each with up
// to three short further answers.
constexpr int shortQuestion = 255;
constexpr int shortAnswer = 100;
constexpr int shortAccepted = 3;
constexpr int longGroupRows = 3;

bool isShort(const QuestionWriter::Plain& row)
{
    return row.question.size() <= shortQuestion && row.answer.size() <= shortAnswer
        && row.accepted.size() <= shortAccepted
        && std::all_of(row.accepted.cbegin(), row.accepted.cend(),
                       [](const QString& answer) { return answer.size() <= shortAnswer; });
}

}

int QuestionWriter::groupRows(const QList<Plain>& rows) const
{
    int count = 0;
    while (count < rows.size() && count < maxGroupRows && isShort(rows.at(count)))
        ++count;
    if (count == maxGroupRows)
        return count;
    if (rows.size() < longGroupRows)
        return 0;
    for (int i = 0; i < longGroupRows; ++i) {
        if (!rows.at(i).accepted.isEmpty())
            return 0;
    }
    return longGroupRows;
}

bool QuestionWriter::prepareGroup(Group* group, int rows, int accepted, int questionChars, int answerChars)
{
    if (!group->prepared) {
        group->prepared = true;
        QStringList parameters;
        QString body;
        for (int i = 1; i <= rows; ++i) {
            parameters << QStringLiteral("c%1 INTEGER = ?").arg(i)
                       << QStringLiteral("q%1 VARCHAR(%2) CHARACTER SET UTF8 = ?").arg(i).arg(questionChars)
                       << QStringLiteral("a%1 VARCHAR(%2) CHARACTER SET UTF8 = ?").arg(i).arg(answerChars);
            body += QStringLiteral("id = GEN_ID(AUTO_INC, 1); "
                                   "INSERT INTO content (contentID, question, answer) VALUES (:id, :q%1, :a%1); "
                                   "INSERT INTO category_content (catID, contentID) VALUES (:c%1, :id); ")
                        .arg(i);
            for (int k = 1; k <= accepted; ++k) {
                parameters << QStringLiteral("x%1_%2 VARCHAR(%3) CHARACTER SET UTF8 = ?").arg(i).arg(k).arg(answerChars);
                body += QStringLiteral("IF (x%1_%2 IS NOT NULL) THEN "
                                       "INSERT INTO content_answer (contentID, answer) VALUES (:id, :x%1_%2); ")
                            .arg(i)
                            .arg(k);
            }
        }
        group->unprepared = rows * 4 * (questionChars + (1 + accepted) * answerChars + 2 * (2 + accepted)) > 64000
            || !group->query.prepare(QStringLiteral("EXECUTE BLOCK (%1) AS DECLARE id INTEGER; BEGIN %2END")
                                         .arg(parameters.join(QLatin1String(", ")), body));
    }
    return !group->unprepared;
}

bool QuestionWriter::addRows(const QList<Plain>& rows, int questionChars, int answerChars)
{
    if (unprepared.isValid())
        return false;
    const bool isShortGroup = rows.size() == maxGroupRows;
    Group* group = isShortGroup ? &shortRows : &longRows;
    const int accepted = isShortGroup ? shortAccepted : 0;
    if ((!isShortGroup && rows.size() != longGroupRows)
        || !prepareGroup(group, int(rows.size()), accepted,
                         isShortGroup ? qMin(shortQuestion, questionChars) : questionChars,
                         isShortGroup ? qMin(shortAnswer, answerChars) : answerChars))
        return false;
    const int perRow = 3 + accepted;
    for (int i = 0; i < rows.size(); ++i) {
        const Plain& row = rows.at(i);
        group->query.bindValue(perRow * i, row.catId);
        group->query.bindValue(perRow * i + 1, row.question);
        group->query.bindValue(perRow * i + 2, row.answer);
        for (int k = 0; k < accepted; ++k)
            group->query.bindValue(perRow * i + 3 + k,
                                   k < row.accepted.size() ? QVariant(row.accepted.at(k)) : QVariant(QMetaType::fromType<QString>()));
    }
    // The statement is undone whole when it fails; the transaction goes on.
    return group->query.exec();
}
