#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "db/database.h"
#include "tests/common/testdatabase.h"

// The statements the program issues, run against the schema exactly as written.
class TestDatabaseSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void statementRuns_data();
    void statementRuns();
    void idsComeFromOneGenerator();
    void deletingACategoryLeavesItsLinks();
    void deletingAQuestionRemovesItsLinks();
    void gameLookupsIgnoreCase();
    void largeScoresAreKept();
    void starterQuestionsLoad();
    void createRefusesAnExistingFile();
    void createReportsAnUnwritableDirectory();

private:
    TestDatabase db;
};

void TestDatabaseSchema::initTestCase()
{
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    const qint64 geo = db.addCategory(QStringLiteral("Geography"));
    db.addQuestion(geo, QStringLiteral("Capital of France?"), QStringLiteral("Paris"));
    db.addUser(QStringLiteral("Alice"), 3, 1, 0);
}

void TestDatabaseSchema::statementRuns_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantMap>("values");
    const QString join = QStringLiteral(
        "FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
        "INNER JOIN category cat ON cc.catID=cat.catID ");
    QTest::newRow("draw") << "SELECT c.question, c.answer " + join + "WHERE UPPER(cat.catName)=:catName"
                          << QVariantMap{{":catName", "GEOGRAPHY"}};
    QTest::newRow("count") << "SELECT count(*) " + join + "WHERE UPPER(cat.catName)=:catName"
                           << QVariantMap{{":catName", "GEOGRAPHY"}};
    QTest::newRow("category exists") << "SELECT catID FROM category WHERE UPPER(catName)=:catName"
                                     << QVariantMap{{":catName", "GEOGRAPHY"}};
    QTest::newRow("user exists") << "SELECT userID FROM users WHERE UPPER(username)=:username"
                                 << QVariantMap{{":username", "ALICE"}};
    QTest::newRow("raise score") << "UPDATE users SET score=(score+1) WHERE UPPER(username)=:username"
                                 << QVariantMap{{":username", "ALICE"}};
    QTest::newRow("add player")
        << "INSERT INTO users (username, score, hasControl, hasAdmin, userID) VALUES (:username, :score, "
           ":control, :admin, GEN_ID(AUTO_INC, 1) ) "
        << QVariantMap{{":username", "Bob"}, {":score", 1}, {":control", 0}, {":admin", 0}};
    QTest::newRow("read score") << "SELECT score FROM users WHERE UPPER(username)=:username"
                                << QVariantMap{{":username", "ALICE"}};
    QTest::newRow("categories") << "SELECT catName FROM category ORDER BY catName ASC" << QVariantMap{};
    QTest::newRow("top ten") << "SELECT FIRST 10 username, score FROM users ORDER BY score DESC" << QVariantMap{};
    QTest::newRow("my score") << "SELECT score FROM users WHERE username=:username"
                              << QVariantMap{{":username", "Alice"}};
    QTest::newRow("admin right") << "SELECT hasAdmin FROM users WHERE UPPER(username)=:username"
                                 << QVariantMap{{":username", "ALICE"}};
    QTest::newRow("control right") << "SELECT hasControl FROM users WHERE UPPER(username)=:username"
                                   << QVariantMap{{":username", "ALICE"}};
    QTest::newRow("list scores") << "SELECT username, score FROM users" << QVariantMap{};
    QTest::newRow("set score") << "UPDATE users SET score=:newscore WHERE username=:username"
                               << QVariantMap{{":newscore", 7}, {":username", "Alice"}};
    QTest::newRow("list users") << "SELECT username, hasControl, hasAdmin FROM users ORDER BY username ASC"
                                << QVariantMap{};
    QTest::newRow("find user") << "SELECT userID FROM users WHERE username=:username"
                               << QVariantMap{{":username", "Alice"}};
    QTest::newRow("change user")
        << "UPDATE users SET username=:newname, hasControl=:control, hasAdmin=:admin WHERE userID=:userID "
        << QVariantMap{{":newname", "Bobby"}, {":control", 1}, {":admin", 1}, {":userID", 0}};
    QTest::newRow("add category") << "INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) )"
                                  << QVariantMap{{":catName", "Movies"}};
    QTest::newRow("rename category") << "UPDATE category SET catName=:newname WHERE catName=:oldname"
                                     << QVariantMap{{":newname", "Films"}, {":oldname", "Movies"}};
    QTest::newRow("category id as text") << "SELECT catID FROM category WHERE catName='Geography'" << QVariantMap{};
    QTest::newRow("count links") << "SELECT COUNT(contentID) FROM category_content WHERE catID=:catID"
                                 << QVariantMap{{":catID", 1}};
    QTest::newRow("list links") << "SELECT contentID FROM category_content WHERE catID=:catID"
                                << QVariantMap{{":catID", 1}};
    QTest::newRow("editor list") << "SELECT c.question, c.answer " + join + "WHERE cat.catName=:catName"
                                 << QVariantMap{{":catName", "Geography"}};
    QTest::newRow("add question")
        << "INSERT INTO content (contentID, question, answer) VALUES (GEN_ID(AUTO_INC, 1), :question, :answer) "
        << QVariantMap{{":question", "Q"}, {":answer", "A"}};
    QTest::newRow("generator") << "SELECT GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE" << QVariantMap{};
    QTest::newRow("add link") << "INSERT INTO category_content (catID, contentID) VALUES (:catID, :contentID)"
                              << QVariantMap{{":catID", 1}, {":contentID", 2}};
    QTest::newRow("find question")
        << "SELECT c.contentID " + join + "WHERE cat.catName='Geography' AND c.question='Q' AND c.answer='A' "
        << QVariantMap{};
    QTest::newRow("find question to change")
        << "SELECT cat.catID, c.contentID FROM category cat LEFT JOIN category_content cc ON cat.catID=cc.catID "
           "LEFT JOIN content c ON cc.contentID=c.contentID WHERE c.question='Q' AND c.answer='A' AND "
           "cat.catName='Geography' "
        << QVariantMap{};
    QTest::newRow("change question")
        << "UPDATE content SET question=:newquestion, answer=:newanswer WHERE contentID=:contentID"
        << QVariantMap{{":newquestion", "Q2"}, {":newanswer", "A2"}, {":contentID", 0}};
    QTest::newRow("import count lower-case column")
        << "SELECT COUNT(*) " + join + "WHERE cat.catname='Geography'" << QVariantMap{};
    QTest::newRow("delete link") << "DELETE FROM category_content WHERE contentID=:contentID"
                                 << QVariantMap{{":contentID", 0}};
    QTest::newRow("delete question") << "DELETE FROM content WHERE contentID=:contentID"
                                     << QVariantMap{{":contentID", 0}};
    QTest::newRow("delete category") << "DELETE FROM category WHERE catID=:catID" << QVariantMap{{":catID", 0}};
    QTest::newRow("delete user as text") << "DELETE FROM users WHERE username='Nobody'" << QVariantMap{};
    QTest::newRow("reset scores") << "UPDATE users SET score=0" << QVariantMap{};
}

void TestDatabaseSchema::statementRuns()
{
    QFETCH(QString, sql);
    QFETCH(QVariantMap, values);
    QSqlQuery query(db.connection());
    QVERIFY2(query.prepare(sql), qPrintable(query.lastError().text()));
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        query.bindValue(it.key(), it.value());
    QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
}

void TestDatabaseSchema::idsComeFromOneGenerator()
{
    const qint64 user = db.addUser(QStringLiteral("Carol"), 0);
    const qint64 category = db.addCategory(QStringLiteral("Science"));
    const qint64 question = db.addQuestion(category, QStringLiteral("H2O?"), QStringLiteral("Water"));
    QVERIFY(user < category);
    QVERIFY(category < question);
    QCOMPARE(db.value(QStringLiteral("SELECT GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE")).toLongLong(), question);
}

void TestDatabaseSchema::deletingACategoryLeavesItsLinks()
{
    const qint64 cat = db.addCategory(QStringLiteral("Doomed"));
    const qint64 q1 = db.addQuestion(cat, QStringLiteral("one"), QStringLiteral("1"));
    const qint64 q2 = db.addQuestion(cat, QStringLiteral("two"), QStringLiteral("2"));
    // The editor's order: the category row first, then its questions through the links.
    QVERIFY(db.exec(QStringLiteral("DELETE FROM category WHERE catID=%1").arg(cat)));
    const QStringList links = db.column(QStringLiteral("SELECT contentID FROM category_content WHERE catID=%1").arg(cat));
    QCOMPARE(links, (QStringList{QString::number(q1), QString::number(q2)}));
    for (const QString& id : links)
        QVERIFY(db.exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(id)));
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM content WHERE contentID IN (%1, %2)").arg(q1).arg(q2)).toInt(), 0);
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(cat)).toInt(), 2);
}

void TestDatabaseSchema::deletingAQuestionRemovesItsLinks()
{
    const qint64 cat = db.addCategory(QStringLiteral("Short"));
    const qint64 q = db.addQuestion(cat, QStringLiteral("gone?"), QStringLiteral("yes"));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(q)));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM category_content WHERE contentID=%1").arg(q)));
    QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM category_content WHERE contentID=%1").arg(q)).toInt(), 0);
}

void TestDatabaseSchema::gameLookupsIgnoreCase()
{
    db.addCategory(QStringLiteral("Movies"));
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("SELECT catID FROM category WHERE UPPER(catName)=:catName"));
    query.bindValue(QStringLiteral(":catName"), QStringLiteral("movies").toUpper());
    QVERIFY(query.exec());
    QVERIFY(query.next());
    // Exact lookups, as the editor makes them, do not.
    QVERIFY(db.column(QStringLiteral("SELECT catID FROM category WHERE catName='movies'")).isEmpty());
}

void TestDatabaseSchema::largeScoresAreKept()
{
    db.addUser(QStringLiteral("Marathon"), 100000);
    QCOMPARE(db.value(QStringLiteral("SELECT score FROM users WHERE username='Marathon'")).toInt(), 100000);
}

void TestDatabaseSchema::starterQuestionsLoad()
{
    TestDatabase fresh;
    QVERIFY2(fresh.isValid(), qPrintable(fresh.error()));
    QString error;
    const int stored = Database::loadStarterQuestions(fresh.connection(), &error);
    QVERIFY2(stored > 0, qPrintable(error));
    QCOMPARE(fresh.value(QStringLiteral("SELECT COUNT(*) FROM content")).toInt(), stored);
    QCOMPARE(fresh.value(QStringLiteral("SELECT COUNT(*) FROM category_content")).toInt(), stored);
    // Every question is answerable: no empty answer, none with runs of blanks.
    QCOMPARE(fresh.value(QStringLiteral("SELECT COUNT(*) FROM content WHERE answer IS NULL OR TRIM(answer)='' "
                                        "OR answer<>TRIM(answer) OR answer LIKE '%  %'")).toInt(), 0);
}

void TestDatabaseSchema::createRefusesAnExistingFile()
{
    QString error;
    QVERIFY(!Database::create(db.filePath(), &error));
    QVERIFY(error.contains(QLatin1String("already exists")));
}

void TestDatabaseSchema::createReportsAnUnwritableDirectory()
{
    QString error;
    QVERIFY(!Database::create(QStringLiteral("/nonexistent-dir/quiznewt.fdb"), &error));
    QVERIFY(error.contains(QLatin1String("not writable")));
    QVERIFY(!QFile::exists(QStringLiteral("/nonexistent-dir/quiznewt.fdb")));
}

QTEST_GUILESS_MAIN(TestDatabaseSchema)
#include "tst_database.moc"
