#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "db/contentstore.h"
#include "db/playerstore.h"
#include "db/questionwriter.h"
#include "db/statements.h"
#include "tests/common/testdatabase.h"

using Database::Lookup;
using Outcome = QuestionWriter::Outcome;
Q_DECLARE_METATYPE(Outcome)

#define STATEMENT(name) QTest::newRow(#name) << Statements::name

static QString said(Lookup found, const QString& value)
{
    return found == Lookup::Found ? value : QString(found == Lookup::Missing ? "missing" : "failed");
}

// The program's statements and stores against the schema exactly as written.
class TestDatabaseSchema : public QObject
{
    Q_OBJECT

    TestDatabase db;
    qint64 capitals = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        capitals = db.addCategory("Capitals");
        db.addQuestion(capitals, "Capital of France?", "Paris");
        db.addCategory("O'Brien's");
        db.addUser("Alice", 3, 1, 0);
        db.addUser("Bob", 0, 2, 0);
        db.addUser("Marathon", 100000);
        // Linking a question that starts with "Unlinked" is refused, and so is
        // deleting one that holds "stuck".
        QVERIFY(db.exec("CREATE EXCEPTION refused 'refused'"));
        QVERIFY(db.exec("CREATE TRIGGER refuse_link FOR category_content BEFORE INSERT AS BEGIN IF (EXISTS("
                        "SELECT 1 FROM content WHERE contentID = NEW.contentID AND question STARTING WITH "
                        "'Unlinked')) THEN EXCEPTION refused; END"));
        QVERIFY(db.exec("CREATE TRIGGER keep_stuck FOR content BEFORE DELETE AS BEGIN "
                        "IF (OLD.question CONTAINING 'stuck') THEN EXCEPTION refused; END"));
    }

    void statementRuns_data()
    {
        using namespace Statements;
        QTest::addColumn<QString>("statement");
        STATEMENT(listCategories); STATEMENT(categoryExists); STATEMENT(countCategory); STATEMENT(addCategory);
        STATEMENT(addCategoryReturningId); STATEMENT(renameCategory); STATEMENT(deleteCategory);
        STATEMENT(listContent); STATEMENT(addContent); STATEMENT(addLink); STATEMENT(updateContent);
        STATEMENT(deleteContent); STATEMENT(deleteLinks); STATEMENT(countCategoryLinks);
        STATEMENT(listCategoryLinks); STATEMENT(drawPool); STATEMENT(generator); STATEMENT(drawOne);
        STATEMENT(drawPoolAdded); STATEMENT(userExists); STATEMENT(raiseScore); STATEMENT(addUser);
        STATEMENT(userScore); STATEMENT(hasControl); STATEMENT(hasAdmin); STATEMENT(topTen); STATEMENT(myScore);
        STATEMENT(listScores); STATEMENT(resetScores); STATEMENT(updateScore); STATEMENT(listUsers);
        STATEMENT(findUser); STATEMENT(changeUser);
        const QString name = QStringLiteral("it's 'quoted'");
        // Finding a category by a quoted name: categoryLookups.
        QTest::newRow("delete user, quoted") << withName(deleteUserPrefix, name);
        QTest::newRow("source count, quoted") << withName(sourceCountPrefix, name);
        QTest::newRow("source content, quoted") << withName(sourceContentPrefix, name);
        QTest::newRow("question to change, quoted") << findContentForUpdate(name, name, name);
        QTest::newRow("question to delete, quoted") << findContentForDelete(name, name, name);
    }

    void statementRuns()
    {
        QFETCH(QString, statement);
        QSqlDatabase connection = db.connection();
        QVERIFY(connection.transaction());
        QString error;
        {
            QSqlQuery query(connection);
            if (!query.prepare(statement))
                error = query.lastError().text();
            // Any number will do: the driver converts it to each parameter's type.
            for (const auto& match : QRegularExpression(QStringLiteral(":\\w+")).globalMatch(statement))
                query.bindValue(match.captured(), 1);
            if (error.isEmpty() && !query.exec())
                error = query.lastError().text();
        }
        // Nothing a statement changed reaches the other cases.
        connection.rollback();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void questionWriterOutcomes_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("questionsLeft");
        QTest::newRow("stored") << "Capital of Peru?" << Outcome::Stored << 1;
        QTest::newRow("too long: refused") << QString(4001, 'x') << Outcome::Refused << 0;
        QTest::newRow("link refused: question undone") << "Unlinked" << Outcome::Refused << 0;
        QTest::newRow("undo refused: failed") << "Unlinked and stuck" << Outcome::Failed << 1;
    }

    void questionWriterOutcomes()
    {
        QFETCH(QString, question);
        QFETCH(Outcome, outcome);
        const QString countAll = QStringLiteral("SELECT COUNT(*) FROM content");
        const int before = db.value(countAll).toInt();
        QSqlDatabase connection = db.connection();
        QVERIFY(connection.transaction());
        QuestionWriter::Result result;
        Outcome next = Outcome::Failed;
        int left = 0;
        {
            QuestionWriter writer(connection);
            result = writer.add(capitals, question, "A");
            left = db.value(countAll).toInt() - before;
            next = writer.add(capitals, "Next?", "B").outcome;
        }
        connection.rollback();
        QCOMPARE(result.outcome, outcome);
        QTEST(left, "questionsLeft");
        QCOMPARE(result.contentId > 0, outcome == Outcome::Stored);
        QCOMPARE(result.error.text().isEmpty(), outcome == Outcome::Stored);
        // The importer goes on after a refused question, in the same transaction.
        if (outcome != Outcome::Failed)
            QCOMPARE(next, Outcome::Stored);
    }

    // The game compares names in any case, the rest exactly. Each row: what
    // exists, myScore, userScore, readScore and hasControl make of the name.
    void memberLookups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("exact name") << "Alice" << QStringList{"yes", "3", "3", "3", "yes"};
        QTest::newRow("other case: own score missing") << "aLICE" << QStringList{"yes", "missing", "3", "3", "yes"};
        QTest::newRow("control right 2: not held") << "Bob" << QStringList{"yes", "0", "0", "0", "no"};
        QTest::newRow("no such member: empty score") << "Nobody" << QStringList{"no", "missing", "missing", "", "no"};
        QTest::newRow("past 32767, where SMALLINT would cut")
            << "Marathon" << QStringList{"yes", "100000", "100000", "100000", "no"};
    }

    void memberLookups()
    {
        QFETCH(QString, name);
        QSqlQuery query(db.connection());
        PlayerStore players(query);
        QString own;
        QString anyone;
        QStringList seen{players.exists(name) ? "yes" : "no", said(players.myScore(name, &own), own)};
        seen << said(players.userScore(name, &anyone), anyone) << players.readScore(name)
             << (players.hasControl(name) ? "yes" : "no");
        QTEST(seen, "expected");
        // A failed statement reads as score 0, unlike a missing member.
        QTest::ignoreMessage(QtWarningMsg, "QSqlQuery::prepare: database not open");
        QSqlQuery failing{QSqlDatabase()};
        QCOMPARE(PlayerStore(failing).readScore(name), QStringLiteral("0"));
    }

    // Each row: what categoryExists, findCategory and countCategory make of it.
    void categoryLookups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("exact name") << "Capitals" << QStringList{"yes", "found", "1"};
        QTest::newRow("other case: not found") << "CAPITALS" << QStringList{"yes", "missing", "1"};
        QTest::newRow("quote in the name") << "O'Brien's" << QStringList{"yes", "found", "0"};
    }

    void categoryLookups()
    {
        QFETCH(QString, name);
        QSqlQuery query(db.connection());
        ContentStore content(query);
        qint64 catId = 0;
        const QStringList seen{content.categoryExists(name) ? "yes" : "no",
                               said(content.findCategory(name, &catId), "found"),
                               QString::number(content.countCategory(name))};
        QTEST(seen, "expected");
    }
};

QTEST_GUILESS_MAIN(TestDatabaseSchema)
#include "tst_database.moc"
