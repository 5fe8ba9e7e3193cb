#include "importer/rowsource.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "db/contentstore.h"
#include "db/database.h"
#include "importer/mdbsource.h"
#include "importer/regularfile.h"

namespace Import {

namespace {

// Hands out rows it holds, from the front; refill() gets the next lot.
class BufferedSource : public RowSource
{
public:
    using RowSource::RowSource;

    bool next(int max, QList<Row>* rows, QList<Skip>* skipped) override
    {
        while (position >= buffer.size()) {
            buffer.clear();
            position = 0;
            if (!failure.isEmpty() || !refill(skipped))
                return false;
        }
        const qsizetype end = qMin(buffer.size(), position + max);
        for (; position < end; ++position)
            rows->append(std::move(buffer[position]));
        return true;
    }

protected:
    // Fills buffer; false when there is nothing more or on failure.
    virtual bool refill(QList<Skip>* skipped) = 0;

    QList<Row> buffer;
    qsizetype position = 0;
};

// A part of the file at a time, as the reader reads it.
class QuestionFileSource : public RowSource
{
public:
    QuestionFileSource(const QString& path, const QuestionFile::Options& options)
        : RowSource(SourceKind::QuestionFile), reader(path, options)
    {
        failure = reader.error();
    }

    QMap<QString, int> ignored() const override { return reader.ignored(); }

    bool next(int max, QList<Row>* rows, QList<Skip>* skipped) override
    {
        if (!failure.isEmpty())
            return false;
        const bool more = reader.next(max, rows, skipped);
        failure = reader.error();
        return more;
    }

private:
    QuestionFile::Reader reader;
};

// A table at a time, through the reader process.
class TriviaBotSource : public BufferedSource
{
public:
    TriviaBotSource(const QString& path, const QString& connectionName)
        : BufferedSource(SourceKind::TriviaBot), file(connectionName)
    {
        if (!file.open(path))
            failure = file.lastError();
        tables = file.tables();
    }

protected:
    bool refill(QList<Skip>*) override
    {
        if (table >= tables.size())
            return false;
        const QString name = tables.at(table++);
        QList<SourceRow> rows;
        if (!file.readTable(name, &rows)) {
            failure = file.lastError();
            return false;
        }
        buffer.reserve(rows.size());
        for (SourceRow& row : rows)
            buffer.append({++line, name, std::move(row.question), std::move(row.answer), {}, {}});
        return true;
    }

private:
    MdbSource file;
    QStringList tables;
    qsizetype table = 0;
    int line = 0;
};

// A category at a time, the name bound rather than composed into the text.
class QuizNewtSource : public BufferedSource
{
public:
    QuizNewtSource(const QString& path, const QString& connectionName)
        : BufferedSource(SourceKind::QuizNewt), connectionName(connectionName)
    {
        // The engine would wait on a FIFO for ever.
        failure = RegularFile::problem(path);
        if (!failure.isEmpty())
            return;
        QString error;
        db = Database::open(path, connectionName, &error);
        if (!db.isOpen()) {
            failure = error;
            return;
        }
        QSqlQuery query(db);
        if (!ContentStore(query).listCategories(&categories))
            failure = QStringLiteral("cannot list the categories: %1").arg(query.lastError().text());
    }
    ~QuizNewtSource() override
    {
        db.close();
        // The handle must go before the name, or Qt warns that it is still in use.
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
    }

protected:
    bool refill(QList<Skip>*) override
    {
        if (category >= categories.size())
            return false;
        const QString name = categories.at(category++);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const auto addRow = [&](const QString& question, const QString& answer) {
            buffer.append({++line, name, question, answer, {}, {}});
        };
        if (!ContentStore(query).listContent(name, addRow) || query.lastError().isValid()) {
            failure = QStringLiteral("cannot read category \"%1\": %2").arg(name, query.lastError().text());
            return false;
        }
        return true;
    }

private:
    QString connectionName;
    QSqlDatabase db;
    QStringList categories;
    qsizetype category = 0;
    int line = 0;
};

}

SourceKind kindOf(const QString& path)
{
    if (MdbSource::isAccessFile(path))
        return SourceKind::TriviaBot;
    const QFileInfo info(path);
    QFile file;
    qint64 size = 0;
    QString error;
    const QByteArray head = RegularFile::open(path, &file, &size, &error) ? file.read(20) : QByteArray();
    // Page type 1, and the Firebird flag in the ODS version.
    if (head.size() == 20 && head.at(0) == 1 && (uchar(head.at(19)) & 0x80))
        return SourceKind::QuizNewt;
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("mdb") || suffix == QLatin1String("accdb"))
        return SourceKind::TriviaBot;
    if (suffix == QLatin1String("fdb") || suffix == QLatin1String("gdb"))
        return SourceKind::QuizNewt;
    return SourceKind::QuestionFile;
}

std::unique_ptr<RowSource> openSource(const QString& path, SourceKind kind, const QString& connectionName,
                                      const QuestionFile::Options& options)
{
    switch (kind) {
    case SourceKind::TriviaBot:
        return std::make_unique<TriviaBotSource>(path, connectionName);
    case SourceKind::QuizNewt:
        return std::make_unique<QuizNewtSource>(path, connectionName);
    case SourceKind::QuestionFile:
        break;
    }
    return std::make_unique<QuestionFileSource>(path, options);
}

}
