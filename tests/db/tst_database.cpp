#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include "db/statements.h"
#include "tests/common/testdatabase.h"

// The statements the program issues, run against the schema exactly as written.
class TestDatabaseSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(db.isValid(), qPrintable(db.error())); }
    void statementRuns_data();
    void statementRuns();
    void idsComeFromOneGenerator();
    void deleteOrdersWork();
    void largeScoresAreKept();

private:
    TestDatabase db;
};

void TestDatabaseSchema::statementRuns_data()
{
    QTest::addColumn<QString>("sql");
    const QString join = QStringLiteral(
        "FROM content c INNER JOIN category_content cc ON c.contentID=cc.contentID "
        "INNER JOIN category cat ON cc.catID=cat.catID ");
    const QString links = QStringLiteral("FROM category_content cc INNER JOIN category cat ");
    QTest::newRow("pool") << "SELECT cc.contentID " + links + "ON cc.catID=cat.catID WHERE UPPER(cat.catName)=:catName";
    QTest::newRow("generator") << "SELECT GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE";
    QTest::newRow("draw one")
        << "SELECT 1, c.question, c.answer, c.contentID FROM content c INNER JOIN category_content cc ON "
           "c.contentID=cc.contentID INNER JOIN category cat ON cc.catID+0=cat.catID WHERE UPPER(cat.catName)=:catName "
           "AND c.contentID=:contentID UNION ALL SELECT 0, NULL, NULL, GEN_ID(AUTO_INC, 0) FROM RDB$DATABASE";
    QTest::newRow("pool added") << "SELECT cc.contentID " + links + "ON cc.catID+0=cat.catID WHERE "
                                   "UPPER(cat.catName)=:catName AND cc.contentID>:after AND cc.contentID<=:upTo";
    QTest::newRow("count") << "SELECT count(*) " + join + "WHERE UPPER(cat.catName)=:catName";
    QTest::newRow("category exists") << "SELECT catID FROM category WHERE UPPER(catName)=:catName";
    QTest::newRow("user exists") << "SELECT userID FROM users WHERE UPPER(username)=:username";
    QTest::newRow("raise score") << "UPDATE users SET score=(score+1) WHERE UPPER(username)=:username";
    QTest::newRow("add user") << "INSERT INTO users (username, score, hasControl, hasAdmin, userID) VALUES "
                                 "(:username, :score, :control, :admin, GEN_ID(AUTO_INC, 1) ) ";
    QTest::newRow("read score") << "SELECT score FROM users WHERE UPPER(username)=:username";
    QTest::newRow("control right") << "SELECT hasControl FROM users WHERE UPPER(username)=:username";
    QTest::newRow("admin right") << "SELECT hasAdmin FROM users WHERE UPPER(username)=:username";
    QTest::newRow("top ten") << "SELECT FIRST 10 username, score FROM users ORDER BY score DESC";
    QTest::newRow("my score") << "SELECT score FROM users WHERE username=:username";
    QTest::newRow("list scores") << "SELECT username, score FROM users";
    QTest::newRow("reset scores") << "UPDATE users SET score=0";
    QTest::newRow("set score") << "UPDATE users SET score=:newscore WHERE username=:username";
    QTest::newRow("list users") << "SELECT username, hasControl, hasAdmin FROM users ORDER BY username ASC";
    QTest::newRow("find user") << "SELECT userID FROM users WHERE username=:username";
    QTest::newRow("change user")
        << "UPDATE users SET username=:newname, hasControl=:control, hasAdmin=:admin WHERE userID=:userID ";
    QTest::newRow("delete user as text") << "DELETE FROM users WHERE username='O''Brien'";
    QTest::newRow("categories") << Statements::listCategories;
    QTest::newRow("add category") << "INSERT INTO category (catName, catID) VALUES (:catName, GEN_ID(AUTO_INC, 1) )";
    QTest::newRow("rename category") << "UPDATE category SET catName=:newname WHERE catName=:oldname";
    QTest::newRow("delete category") << "DELETE FROM category WHERE catID=:catID";
    QTest::newRow("find category as text") << Statements::findCategoryPrefix + "O''Brien'";
    QTest::newRow("count links") << "SELECT COUNT(contentID) FROM category_content WHERE catID=:catID";
    QTest::newRow("list links") << "SELECT contentID FROM category_content WHERE catID=:catID";
    QTest::newRow("list questions") << Statements::listContent;
    QTest::newRow("add question") << Statements::addContent;
    QTest::newRow("add link") << Statements::addLink;
    QTest::newRow("find question to change")
        << "SELECT cat.catID, c.contentID FROM category cat LEFT JOIN category_content cc ON cat.catID=cc.catID LEFT "
           "JOIN content c ON cc.contentID=c.contentID WHERE c.question='Q' AND c.answer='A' AND cat.catName='Geography' ";
    QTest::newRow("find question to delete")
        << "SELECT c.contentID " + join + "WHERE cat.catName='Geography' AND c.question='Q' AND c.answer='A' ";
    QTest::newRow("change question")
        << "UPDATE content SET question=:newquestion, answer=:newanswer WHERE contentID=:contentID";
    QTest::newRow("delete question") << "DELETE FROM content WHERE contentID=:contentID";
    QTest::newRow("delete links") << "DELETE FROM category_content WHERE contentID=:contentID";
    QTest::newRow("import count lower-case column") << "SELECT COUNT(*) " + join + "WHERE cat.catname='Geography'";
    QTest::newRow("import questions") << "SELECT c.question, c.answer " + join + "WHERE cat.catName='Geography'";
}

void TestDatabaseSchema::statementRuns()
{
    QFETCH(QString, sql);
    QSqlQuery query(db.connection());
    QVERIFY2(query.prepare(sql), qPrintable(query.lastError().text()));
    // Any number will do: the driver converts it to each parameter's type.
    for (const QRegularExpressionMatch& match : QRegularExpression(QStringLiteral(":\\w+")).globalMatch(sql))
        query.bindValue(match.captured(), 1);
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

void TestDatabaseSchema::deleteOrdersWork()
{
    const qint64 cat = db.addCategory(QStringLiteral("Doomed"));
    const qint64 kept = db.addQuestion(cat, QStringLiteral("one"), QStringLiteral("1"));
    const qint64 gone = db.addQuestion(cat, QStringLiteral("two"), QStringLiteral("2"));
    // The editor deletes a question before its links, and a category before reading its links.
    QVERIFY(db.exec(QStringLiteral("DELETE FROM content WHERE contentID=%1").arg(gone)));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM category_content WHERE contentID=%1").arg(gone)));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM category WHERE catID=%1").arg(cat)));
    QCOMPARE(db.column(QStringLiteral("SELECT contentID FROM category_content WHERE catID=%1").arg(cat)),
             QStringList{QString::number(kept)});
}

void TestDatabaseSchema::largeScoresAreKept()
{
    db.addUser(QStringLiteral("Marathon"), 100000);
    QCOMPARE(db.value(QStringLiteral("SELECT score FROM users WHERE username='Marathon'")).toInt(), 100000);
}

QTEST_GUILESS_MAIN(TestDatabaseSchema)
#include "tst_database.moc"
