#include "db/questionwriter.h"

#include <QSqlDatabase>
#include <QVariant>

#include "db/statements.h"

QuestionWriter::QuestionWriter(const QSqlDatabase& db)
    : insert(db), link(db), undo(db)
{
    if (!insert.prepare(Statements::addContent))
        unprepared = insert.lastError();
    else if (!link.prepare(Statements::addLink))
        unprepared = link.lastError();
    else if (!undo.prepare(Statements::deleteContent))
        unprepared = undo.lastError();
}

QuestionWriter::Result QuestionWriter::add(qint64 catId, const QString& question, const QString& answer)
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
    if (link.exec())
        return {Outcome::Stored, QSqlError(), contentId};
    const QSqlError refused = link.lastError();
    undo.bindValue(QStringLiteral(":contentID"), contentId);
    if (!undo.exec())
        return {Outcome::Failed, undo.lastError()};
    return {Outcome::Refused, refused};
}
