// Backup and restore through the setup tool while this test keeps writing to
// the database from a connection of its own.

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "db/database.h"
#include "db/playerstore.h"
#include "db/questionwriter.h"
#include "tests/common/testdatabase.h"

class TestBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void restoresASnapshotTakenWhileScoring();
};

namespace {

const int members = 10;

// One transaction: a question, its link and the tally's point, so a
// consistent snapshot has exactly as many of the tally's questions as points.
bool addTallied(const QSqlDatabase& db, qint64 catId, int n)
{
    QSqlDatabase connection = db;
    if (!connection.transaction())
        return false;
    bool ok = true;
    {
        QuestionWriter writer(connection);
        ok = writer.add(catId, QStringLiteral("Tallied %1").arg(n), QStringLiteral("Answer")).outcome
            == QuestionWriter::Outcome::Stored;
        QSqlQuery query(connection);
        ok = ok && query.exec(QStringLiteral("UPDATE users SET score=score+1 WHERE username='Tally'"))
            && query.numRowsAffected() == 1;
    }
    return ok ? connection.commit() : (connection.rollback(), false);
}

int finish(QProcess& process, QString* output)
{
    // waitForFinished() is false for a process that has already ended.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(60000))
        return -1;
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}

void TestBackup::restoresASnapshotTakenWhileScoring()
{
    TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    db.makeInstallDir();
    const qint64 catId = db.addCategory(QStringLiteral("Seeded"));
    db.addQuestions(catId, 200);
    const qint64 tallyCat = db.addCategory(QStringLiteral("Tally"));
    db.addUser(QStringLiteral("Tally"), 0);
    QSqlQuery query(db.connection());
    PlayerStore players(query);

    QTemporaryDir out;
    const QString backupFile = out.filePath(QStringLiteral("quiz.fbk"));
    QProcess backup;
    backup.setProcessChannelMode(QProcess::MergedChannels);
    backup.start(QStringLiteral(SETUP_TOOL), {QStringLiteral("--backup"), backupFile});
    QVERIFY(backup.waitForStarted());
    int points = 0;
    int tallied = 0;
    QElapsedTimer clock;
    clock.start();
    // The game's scoring path and a two-table transaction, until the backup ends.
    while (backup.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        QVERIFY(!players.givePoint(QStringLiteral("Member%1").arg(points % members)).isEmpty());
        ++points;
        QVERIFY(addTallied(db.connection(), tallyCat, tallied));
        ++tallied;
        backup.waitForFinished(0);
    }
    QString output;
    const int code = finish(backup, &output);
    QVERIFY2(code == 0, qPrintable(QStringLiteral("%1 %2: %3").arg(code).arg(backup.error()).arg(output)));
    qDebug("%d points and %d tallied questions during the backup", points, tallied);
    QVERIFY2(points > 0, "nothing was written while the backup ran");

    const QString restoredDir = out.filePath(QStringLiteral("restored"));
    QProcess restore;
    restore.setProcessChannelMode(QProcess::MergedChannels);
    restore.start(QStringLiteral(SETUP_TOOL), {QStringLiteral("--restore"), backupFile, restoredDir});
    QCOMPARE(finish(restore, &output), 0);
    {
        QString error;
        QSqlDatabase restored = Database::open(restoredDir + QStringLiteral("/quiznewt.fdb"),
                                               QStringLiteral("restored"), &error);
        QVERIFY2(restored.isOpen(), qPrintable(error));
        QSqlQuery check(restored);
        const auto number = [&](const QString& sql) {
            return check.exec(sql) && check.next() ? check.value(0).toInt() : -1;
        };
        QCOMPARE(number(QStringLiteral("SELECT COUNT(*) FROM content c WHERE NOT EXISTS "
                                       "(SELECT 1 FROM category_content cc WHERE cc.contentID=c.contentID)")), 0);
        QCOMPARE(number(QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(catId)), 200);
        const int tallyPoints = number(QStringLiteral("SELECT score FROM users WHERE username='Tally'"));
        QCOMPARE(number(QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(tallyCat)),
                 tallyPoints);
        qDebug("the snapshot holds %d of them", tallyPoints);
        QVERIFY(tallyPoints >= 0 && tallyPoints <= tallied);
        const int memberPoints = number(QStringLiteral("SELECT COALESCE(SUM(score), 0) FROM users "
                                                       "WHERE username<>'Tally'"));
        QVERIFY2(memberPoints >= 0 && memberPoints <= points, qPrintable(QString::number(memberPoints)));
        QCOMPARE(number(QStringLiteral("SELECT COUNT(*) FROM (SELECT UPPER(username) AS name FROM users "
                                       "GROUP BY UPPER(username) HAVING COUNT(*) > 1)")), 0);
        restored.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("restored"));

    // A second restore into the same place is refused and changes nothing.
    QFile restoredFile(restoredDir + QStringLiteral("/quiznewt.fdb"));
    const QDateTime modified = QFileInfo(restoredFile).lastModified();
    restore.start(QStringLiteral(SETUP_TOOL), {QStringLiteral("--restore"), backupFile, restoredDir});
    QCOMPARE(finish(restore, &output), 1);
    QVERIFY2(output.contains(QLatin1String("already exists")) && output.count(QLatin1Char('\n')) == 1,
             qPrintable(output));
    QCOMPARE(QFileInfo(restoredFile).lastModified(), modified);
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
