#include "importer/importpipeline.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstring>

#include "db/contentstore.h"
#include "db/engineerror.h"
#include "db/questionwriter.h"
#include "quiz/rules.h"

namespace Import {

namespace {

// Firebird counts a column's size in characters, not UTF-16 units.
int characters(const QString& text)
{
    return int(text.size() - std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLowSurrogate(); }));
}

void sortByLine(QList<Skip>* lines)
{
    std::stable_sort(lines->begin(), lines->end(), [](const Skip& a, const Skip& b) { return a.line < b.line; });
}

}

QString questionProblem(const QString& question, const Limits& limits)
{
    if (question.trimmed().isEmpty())
        return QStringLiteral("the question is empty");
    // The database would store it as "?".
    if (!question.isValidUtf16())
        return QStringLiteral("the question holds a lone UTF-16 surrogate, which is no character");
    if (characters(question) > limits.question)
        return QStringLiteral("the question is longer than %1 characters").arg(limits.question);
    return QString();
}

QString answerProblem(const QString& answer, const Limits& limits)
{
    if (answer.trimmed().isEmpty())
        return QStringLiteral("the answer is empty");
    if (!answer.isValidUtf16())
        return QStringLiteral("the answer holds a lone UTF-16 surrogate, which is no character");
    if (characters(answer) > limits.answer)
        return QStringLiteral("the answer is longer than %1 characters").arg(limits.answer);
    // The game simplifies the room line and compares it ignoring case.
    if (answer.contains(QLatin1Char('\n')))
        return QStringLiteral("the answer spans more than one line");
    if (answer.front().isSpace() || answer.back().isSpace())
        return QStringLiteral("the answer begins or ends with a blank");
    if (answer.contains(QLatin1String("  ")))
        return QStringLiteral("the answer holds two blanks in a row");
    if (!Quiz::isCorrect(Quiz::splitLine(QStringLiteral("player: ") + answer).text, answer))
        return QStringLiteral("the game can never match the answer \"%1\"").arg(answer);
    return QString();
}

QString rowProblem(const Row& row, const Limits& limits)
{
    const QString problem = questionProblem(row.question, limits);
    return problem.isEmpty() ? answerProblem(row.answer, limits) : problem;
}

QString duplicateKey(const QString& question, const QString& answer)
{
    return question.trimmed().toLower() + QChar(0) + answer.toLower();
}

Pipeline::Digest Pipeline::digest(const QString& question, const QString& answer)
{
    const QString key = duplicateKey(question, answer);
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(key.constData()), key.size() * qsizetype(sizeof(QChar))),
        QCryptographicHash::Md5);
    Digest digest;
    std::memcpy(&digest.high, hash.constData(), sizeof digest.high);
    std::memcpy(&digest.low, hash.constData() + sizeof digest.high, sizeof digest.low);
    return digest;
}

void Report::skip(Skip skip)
{
    skippedLines += skip.count;
    if (QuestionFile::extendSkip(&skipped, skip))
        return;
    if (skipped.size() + notes.size() < maxListed)
        skipped.append(std::move(skip));
    else
        unlisted += skip.count;
}

void Report::skip(const QList<Skip>& skips)
{
    for (const Skip& one : skips)
        skip(one);
}

void Report::skipUnlisted(int lines)
{
    skippedLines += lines;
    unlisted += lines;
}

void Report::note(Skip remark)
{
    // A file written as question*answer*answer throughout is one entry.
    if (QuestionFile::extendSkip(&notes, remark))
        return;
    if (skipped.size() + notes.size() < maxListed)
        notes.append(std::move(remark));
    else
        ++unlisted;
}

void Report::cancel(int rowsLeft)
{
    cancelled = true;
    notReached += rowsLeft;
}

QString Report::summary() const
{
    QString text = QStringLiteral("%1: %2 imported, %3 skipped").arg(source).arg(imported).arg(skippedLines);
    if (accepted == 1)
        text += QStringLiteral(", 1 further answer");
    else if (accepted > 1)
        text += QStringLiteral(", %1 further answers").arg(accepted);
    if (trimmed == 1)
        text += QStringLiteral(", 1 answer trimmed");
    else if (trimmed > 1)
        text += QStringLiteral(", %1 answers trimmed").arg(trimmed);
    if (!ignored.isEmpty()) {
        int lines = 0;
        QStringList keys;
        for (auto key = ignored.constBegin(); key != ignored.constEnd(); ++key) {
            lines += key.value();
            keys << QStringLiteral("%1 %2").arg(key.key()).arg(key.value());
        }
        text += QStringLiteral(", %1 %2 of other keys ignored (%3)")
                    .arg(lines)
                    .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"), keys.join(QLatin1String(", ")));
    }
    if (cancelled)
        text += QStringLiteral("; cancelled, %1 not imported").arg(notReached);
    return text;
}

QStringList Report::details() const
{
    QList<Skip> lines = skipped;
    lines += notes;
    sortByLine(&lines);
    QStringList text;
    text.reserve(lines.size() + 1);
    for (const Skip& line : std::as_const(lines)) {
        text << (line.count == 1 ? QStringLiteral("line %1: %2").arg(line.line).arg(line.reason)
                                 : QStringLiteral("lines %1-%2: %3").arg(line.line).arg(line.lastLine()).arg(line.reason));
    }
    if (unlisted > 0)
        text << QStringLiteral("... and %1 more not listed").arg(unlisted);
    return text;
}

Pipeline::Pipeline(QSqlDatabase db, Duplicates duplicates)
    : db(db), duplicates(duplicates)
{
}

bool Pipeline::begin()
{
    QSqlQuery query(db);
    if (ContentStore(query).contentColumnSizes(&limits.question, &limits.answer))
        return true;
    failureError = query.lastError();
    failure = QStringLiteral("cannot read the column sizes: %1").arg(failureError.text());
    return false;
}

void Pipeline::intoCategory(const QString& name, qint64 catId)
{
    fixedCategory = name;
    Category& category = categories[categoryFor(name)];
    if (catId >= 0)
        category.catId = catId;
}

int Pipeline::categoryFor(const QString& name)
{
    const QString key = name.toUpper();
    const auto found = byName.constFind(key);
    if (found != byName.constEnd())
        return *found;
    categories.append({name, -1, false, false, {}});
    byName.insert(key, int(categories.size() - 1));
    return int(categories.size() - 1);
}

bool Pipeline::lookUp(Category* category)
{
    if (category->looked)
        return true;
    if (category->catId < 0) {
        QSqlQuery query(db);
        switch (ContentStore(query).findCategoryIgnoringCase(category->name, &category->catId, &category->name)) {
        case Database::Lookup::Failed:
            failureError = query.lastError();
            failure = QStringLiteral("cannot look up category \"%1\": %2").arg(category->name, failureError.text());
            return false;
        case Database::Lookup::Missing:
            category->missing = true;
            break;
        case Database::Lookup::Found:
            break;
        }
    }
    if (!category->missing && duplicates == Duplicates::Skip) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const auto addKey = [category](const QString& question, const QString& answer) {
            category->seen.insert(digest(question, answer), Seen());
        };
        if (!ContentStore(query).listContent(category->name, addKey)) {
            failureError = query.lastError();
            failure = QStringLiteral("cannot read category \"%1\": %2").arg(category->name, failureError.text());
            return false;
        }
    }
    category->looked = true;
    return true;
}

QString Pipeline::settle(Row* row, bool* trimmed, QList<Skip>* dropped) const
{
    const QString problem = questionProblem(row->question, limits);
    if (!problem.isEmpty())
        return problem;
    // Blanks at either end are no part of an answer. The first playable
    // answer is the answer; one that is not never costs the question.
    QString first;
    QStringList kept;
    const qsizetype count = row->accepted.size() + 1;
    for (qsizetype i = 0; i < count; ++i) {
        const QString& given = i == 0 ? row->answer : row->accepted.at(i - 1);
        const QString answer = given.trimmed();
        const QString why = answerProblem(answer, limits);
        if (!why.isEmpty()) {
            if (first.isEmpty())
                first = why;
            if (dropped)
                dropped->append(
                    {row->line, QStringLiteral("answer \"%1\" not kept: %2").arg(answer, why), row->category});
            continue;
        }
        *trimmed = *trimmed || answer.size() != given.size();
        if (!std::any_of(kept.cbegin(), kept.cend(),
                         [&](const QString& k) { return k.compare(answer, Qt::CaseInsensitive) == 0; }))
            kept << answer;
    }
    if (kept.isEmpty())
        return count == 1 ? first : QStringLiteral("no playable answer; the first: %1").arg(first);
    row->answer = kept.takeFirst();
    row->accepted = kept;
    if (fixedCategory.isEmpty() && row->category.isEmpty())
        return QStringLiteral("no category; name one with --category");
    return QString();
}

bool Pipeline::survey(QList<Row> rows)
{
    // With one category for every row, the first playable row settles it.
    if (!fixedCategory.isEmpty() && categories.at(categoryFor(fixedCategory)).looked)
        return true;
    for (Row& row : rows) {
        bool trimmed = false;
        if (!settle(&row, &trimmed, nullptr).isEmpty())
            continue;
        if (!lookUp(&categories[categoryFor(fixedCategory.isEmpty() ? row.category : fixedCategory)]))
            return false;
        if (!fixedCategory.isEmpty())
            return true;
    }
    return true;
}

bool Pipeline::plan(QList<Row> rows, Report* report, QList<Planned>* planned)
{
    if (report != current) {
        current = report;
        ++source;
    }
    for (Row& row : rows) {
        if (!row.note.isEmpty())
            report->note({row.line, row.note, row.category});
        bool trimmed = false;
        QList<Skip> dropped;
        const QString problem = settle(&row, &trimmed, &dropped);
        if (!problem.isEmpty()) {
            report->skip({row.line, problem, row.category});
            continue;
        }
        const int index = categoryFor(fixedCategory.isEmpty() ? row.category : fixedCategory);
        Category& category = categories[index];
        if (!lookUp(&category))
            return false;
        if (duplicates == Duplicates::Skip) {
            const Digest key = digest(row.question, row.answer);
            const auto seen = category.seen.constFind(key);
            if (seen != category.seen.constEnd()) {
                report->skip(
                    {row.line,
                     seen->source == source
                         ? QStringLiteral("same question and answer as line %1").arg(seen->line)
                         : QStringLiteral("already in category \"%1\"").arg(category.name),
                     row.category});
                continue;
            }
            category.seen.insert(key, {source, row.line});
        }
        report->trimmed += trimmed;
        for (Skip& note : dropped)
            report->note(std::move(note));
        planned->append({std::move(row), index});
    }
    return true;
}

QStringList Pipeline::missingCategories() const
{
    QStringList names;
    for (const Category& category : categories) {
        if (category.missing && category.catId < 0)
            names << category.name;
    }
    names.sort();
    return names;
}

bool Pipeline::createCategories()
{
    if (!db.transaction()) {
        failureError = db.lastError();
        failure = failureError.text();
        return false;
    }
    QList<int> created;
    {
        QSqlQuery query(db);
        ContentStore store(query);
        for (int i = 0; i < categories.size() && failure.isEmpty(); ++i) {
            Category& category = categories[i];
            if (!category.missing || category.catId >= 0)
                continue;
            category.catId = store.addCategoryReturningId(category.name);
            if (category.catId < 0) {
                failureError = query.lastError();
                failure = QStringLiteral("cannot create category \"%1\": %2").arg(category.name, failureError.text());
            } else {
                created << i;
            }
        }
    }
    if (failure.isEmpty() && db.commit())
        return true;
    if (failure.isEmpty()) {
        failureError = db.lastError();
        failure = failureError.text();
    }
    db.rollback();
    for (int i : std::as_const(created))
        categories[i].catId = -1;
    return false;
}

bool Pipeline::store(const QList<Planned>& rows, Report* report, const BatchPolicy& policy, const StoreHooks& hooks)
{
    for (qsizetype next = 0; next < rows.size();) {
        if (stopRequested) {
            report->cancel(int(rows.size() - next));
            return true;
        }
        if (!storeBatch(rows, &next, report, policy, hooks))
            return false;
        if (hooks.betweenBatches)
            hooks.betweenBatches();
    }
    return true;
}

int Pipeline::storeGroup(QuestionWriter& writer, const QList<Planned>& rows, qsizetype from, qsizetype end) const
{
    QList<QuestionWriter::Plain> group;
    for (qsizetype i = from; i < end && group.size() < QuestionWriter::maxGroupRows; ++i) {
        const Planned& planned = rows.at(i);
        const qint64 catId = categories.at(planned.category).catId;
        if (catId < 0)
            break;
        group.append({catId, planned.row.question, planned.row.answer, planned.row.accepted});
    }
    group.resize(writer.groupRows(group));
    return !group.isEmpty() && writer.addRows(group, limits.question, limits.answer) ? int(group.size()) : 0;
}

bool Pipeline::storeBatch(const QList<Planned>& rows, qsizetype* next, Report* report, const BatchPolicy& policy,
                          const StoreHooks& hooks)
{
    if (!db.transaction()) {
        failureError = db.lastError();
        failure = failureError.text();
        return false;
    }
    QList<qsizetype> stored;
    QList<Skip> refused;
    QList<Skip> notes;
    int accepted = 0;
    QString error;
    QSqlError engineError;
    {
        // Prepared inside the transaction, so made afresh for each one.
        QuestionWriter writer(db);
        const qsizetype end = *next + qMin<qsizetype>(policy.maxRows, rows.size() - *next);
        QElapsedTimer elapsed;
        elapsed.start();
        // Rows after a failed group go one at a time, to find the one refused.
        qsizetype singly = 0;
        // At least one row, however short the batch.
        for (bool first = true; error.isEmpty() && *next < end && (first || elapsed.elapsed() < policy.maxMs);
             first = false) {
            const int grouped = *next >= singly ? storeGroup(writer, rows, *next, end) : 0;
            for (int i = 0; i < grouped; ++i) {
                if (hooks.beforeRow)
                    hooks.beforeRow(*next);
                accepted += int(rows.at(*next).row.accepted.size());
                stored << (*next)++;
            }
            if (grouped > 0)
                continue;
            if (*next >= singly)
                singly = *next + QuestionWriter::maxGroupRows;
            const qsizetype index = (*next)++;
            if (hooks.beforeRow)
                hooks.beforeRow(index);
            const Planned& planned = rows.at(index);
            const Category& category = categories.at(planned.category);
            if (category.catId < 0) {
                error = QStringLiteral("the category \"%1\" is not in the database").arg(category.name);
                break;
            }
            QList<QuestionWriter::Refused> refusedAnswers;
            const QuestionWriter::Result result = writer.add(category.catId, planned.row.question, planned.row.answer,
                                                             planned.row.accepted, &refusedAnswers);
            switch (result.outcome) {
            case QuestionWriter::Outcome::Stored:
                stored << index;
                accepted += int(planned.row.accepted.size() - refusedAnswers.size());
                for (const QuestionWriter::Refused& answer : std::as_const(refusedAnswers))
                    notes.append({planned.row.line,
                                  QStringLiteral("answer \"%1\" not kept: refused by the database: %2")
                                      .arg(answer.answer, describeEngineError(answer.error).text()),
                                  planned.row.category});
                break;
            case QuestionWriter::Outcome::Refused:
                // Too long, say: the transaction goes on without it.
                refused << Skip{planned.row.line,
                                QStringLiteral("refused by the database: %1")
                                    .arg(describeEngineError(result.error).text()),
                                planned.row.category};
                break;
            case QuestionWriter::Outcome::Failed:
                engineError = result.error;
                error = engineError.databaseText();
                break;
            }
        }
    }
    if (error.isEmpty() && !db.commit()) {
        engineError = db.lastError();
        error = engineError.text();
    }
    if (!error.isEmpty()) {
        db.rollback();
        failure = error;
        failureError = engineError;
        return false;
    }
    report->imported += int(stored.size());
    report->accepted += accepted;
    report->skip(refused);
    for (Skip& note : notes)
        report->note(std::move(note));
    QList<Row> committed;
    for (qsizetype index : std::as_const(stored)) {
        if (hooks.committed)
            committed << rows.at(index).row;
    }
    if (hooks.committed)
        hooks.committed(committed);
    return true;
}

}
