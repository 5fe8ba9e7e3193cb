#include "db/questionwriter.h"

#include <QSqlDatabase>
#include <QVariant>

#include "db/statements.h"

namespace {

// The table's trigger refuses an answer equal, ignoring case, to the
// question's answer or to another accepted one.
const QString addAcceptedAnswer =
    QStringLiteral("INSERT INTO content_answer (contentID, answer) VALUES (:contentID, :answer)");

}

QuestionWriter::QuestionWriter(const QSqlDatabase& db)
    : insert(db), link(db), undo(db), addAccepted(db)
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
