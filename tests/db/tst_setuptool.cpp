// The setup tool, run as a user runs it: creating a database, writing the
// settings, backing up while a room scores, and a database server that
// cannot be reached.

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include "app/quiznewt.h"
#include "db/database.h"
#include "db/playerstore.h"
#include "db/questionwriter.h"
#include "gui/messagebox.h"
#include "tests/common/recordingroomlink.h"
#include "tests/common/serverprocess.h"
#include "tests/common/testdatabase.h"

namespace {

int run(const QStringList& arguments, QString* output = nullptr)
{
    return runTool(QStringLiteral(SETUP_TOOL), arguments, output);
}

// The first column of the first row of each query on a database file, -1
// for a query that failed.
QList<int> numbers(const QString& file, const QStringList& queries)
{
    QList<int> result;
    {
        QString error;
        QSqlDatabase db = Database::open(file, QStringLiteral("check"), &error);
        if (!db.isOpen())
            qWarning("%s", qPrintable(error));
        QSqlQuery query(db);
        for (const QString& sql : queries)
            result << (query.exec(sql) && query.next() ? query.value(0).toInt() : -1);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}

// Writes values into the settings file; gives its contents.
QByteArray writeSettings(const QVariantMap& values)
{
    QSettings file(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        file.setValue(it.key(), it.value());
    file.sync();
    return readFile(file.fileName());
}

// One transaction: a question, its link and the tally's point, so a
// consistent snapshot has exactly as many of the tally's questions as points.
bool addTallied(QSqlDatabase connection, qint64 catId, int n)
{
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

}

class TestSetupTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { MessageBox::setTestMode(true); }
    void init() { isolateSettings(); }

    void createsAWorkingDatabaseOnce()
    {
        QTemporaryDir install;
        const QString dir = install.path() + QStringLiteral("/new/sub");
        QCOMPARE(run({dir}), 0);
        QCOMPARE(QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).value(QStringLiteral("InstallDir")),
                 dir);
        const QList<int> counts = numbers(dir + QStringLiteral("/quiznewt.fdb"), {
            QStringLiteral("SELECT COUNT(*) FROM (SELECT cc.catID FROM category_content cc INNER JOIN content c "
                           "ON c.contentID=cc.contentID INNER JOIN category cat ON cat.catID=cc.catID "
                           "GROUP BY cc.catID HAVING COUNT(*) >= 30)"),
            // Every question is answerable: no empty answer, none with runs of blanks.
            QStringLiteral("SELECT COUNT(*) FROM content WHERE answer IS NULL OR TRIM(answer)='' "
                           "OR answer<>TRIM(answer) OR answer LIKE '%  %'")});
        QVERIFY(counts.at(0) >= 6);
        QCOMPARE(counts.at(1), 0);

        // Run again, it leaves the existing database exactly as it was.
        const QByteArray before = readFile(dir + QStringLiteral("/quiznewt.fdb"));
        QString output;
        QCOMPARE(run({dir}, &output), 1);
        QVERIFY2(output.contains(QLatin1String("already exists")), qPrintable(output));
        QVERIFY(!before.isEmpty() && readFile(dir + QStringLiteral("/quiznewt.fdb")) == before);
    }

    void writesRoomSettingsOnly()
    {
        QTemporaryDir install;
        QString output;
        QCOMPARE(run({"--settings-only", install.path(), "--server", "irc.example.org", "--port", "6697", "--tls",
                      "--channel", "#quiz", "--sasl-user", "quizbot", "--sasl-password", "s3cret", "--auto-connect"},
                     &output),
                 0);
        QVERIFY2(!output.contains(QLatin1String("s3cret")), "the password is never printed");
        QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
        QStringList values;
        for (const char* key : {"Server", "Port", "Tls", "Channel", "SaslUser", "SaslPassword", "AutoConnect"})
            values << settings.value(QLatin1String("Room/") + QLatin1String(key)).toString();
        QCOMPARE(values.join(QLatin1Char('|')), QStringLiteral("irc.example.org|6697|true|#quiz|quizbot|s3cret|true"));
        QVERIFY(!QFile::exists(install.path() + QStringLiteral("/quiznewt.fdb")));
    }

    // A setting or option that cannot be used is named, as the programs name
    // it, and nothing is written.
    void namesWhatCannotBeUsed_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("port out of range") << QVariantMap{} << QStringList{"--settings-only", "DIR", "--port", "70000"}
                                           << "Room/Port: \"70000\" is not a port number";
        QTest::newRow("database port in the file")
            << QVariantMap{{"Database/Server", "127.0.0.1"}, {"Database/Path", "/q.fdb"}, {"Database/Port", "abc"}}
                                                   << QStringList{"--backup", "DIR/q.fbk"}
                                                   << "Database/Port: \"abc\" is not a port number";
        // Below a plain file no directory can be made, not even by root.
        const QString below = QCoreApplication::applicationFilePath() + QStringLiteral("/sub");
        QTest::newRow("unwritable directory") << QVariantMap{} << QStringList{below}
                                              << "cannot create the directory " + below + '.';
        QTest::newRow("empty InstallDir") << QVariantMap{{"InstallDir", ""}} << QStringList{"--backup", "DIR/q.fbk"}
                                          << "no database: InstallDir is not set.";
    }
    void namesWhatCannotBeUsed()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        arguments.replaceInStrings(QStringLiteral("DIR"), dir.path());
        const QByteArray before = writeSettings(settings);

        QFETCH(QString, said);
        QString output;
        QCOMPARE(run(arguments, &output), 1);
        QVERIFY2(output.startsWith(QStringLiteral("quiznewt-setup: ") + said) && output.count(QLatin1Char('\n')) == 1,
                 qPrintable(output));
        QCOMPARE(writeSettings({}), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // A backup while this test keeps writing, from a connection of its own,
    // restores to one consistent snapshot.
    void restoresASnapshotTakenWhileScoring()
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
            QVERIFY(!players.givePoint(QStringLiteral("Member%1").arg(points % 10)).isEmpty());
            ++points;
            QVERIFY(addTallied(db.connection(), tallyCat, tallied));
            ++tallied;
            backup.waitForFinished(0);
        }
        // waitForFinished() is false for a process that has already ended.
        QVERIFY(backup.state() == QProcess::NotRunning || backup.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(backup.readAll());
        QVERIFY2(backup.exitStatus() == QProcess::NormalExit && backup.exitCode() == 0,
                 qPrintable(QStringLiteral("%1 %2: %3").arg(backup.exitCode()).arg(backup.error()).arg(said)));
        qDebug("%d points and %d tallied questions during the backup", points, tallied);
        QVERIFY2(points > 0, "nothing was written while the backup ran");

        const QString restoredDir = out.filePath(QStringLiteral("restored"));
        QCOMPARE(run({QStringLiteral("--restore"), backupFile, restoredDir}), 0);
        const QString restored = restoredDir + QStringLiteral("/quiznewt.fdb");
        const QList<int> counts = numbers(restored, {
            QStringLiteral("SELECT COUNT(*) FROM content c WHERE NOT EXISTS "
                           "(SELECT 1 FROM category_content cc WHERE cc.contentID=c.contentID)"),
            QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(catId),
            QStringLiteral("SELECT score FROM users WHERE username='Tally'"),
            QStringLiteral("SELECT COUNT(*) FROM category_content WHERE catID=%1").arg(tallyCat),
            QStringLiteral("SELECT COALESCE(SUM(score), 0) FROM users WHERE username<>'Tally'"),
            QStringLiteral("SELECT COUNT(*) FROM (SELECT UPPER(username) AS name FROM users "
                           "GROUP BY UPPER(username) HAVING COUNT(*) > 1)")});
        // As many tallied questions as tally points, no orphan, no member twice.
        QCOMPARE(counts, (QList<int>{0, 200, counts.at(2), counts.at(2), counts.at(4), 0}));
        qDebug("the snapshot holds %d of them", counts.at(2));
        QVERIFY(counts.at(2) >= 0 && counts.at(2) <= tallied && counts.at(4) >= 0 && counts.at(4) <= points);

        // A second restore into the same place is refused and changes nothing.
        const QDateTime modified = QFileInfo(restored).lastModified();
        QString output;
        QCOMPARE(run({QStringLiteral("--restore"), backupFile, restoredDir}, &output), 1);
        QVERIFY2(output.contains(QLatin1String("already exists")) && output.count(QLatin1Char('\n')) == 1,
                 qPrintable(output));
        QCOMPARE(QFileInfo(restored).lastModified(), modified);
    }

    // Nothing listens, or a server takes the connection and never answers:
    // the window, the setup tool and QuizNewt without a window each give the
    // reason within seconds, and a stop is served meanwhile.
    void unansweringServerFailsWithTheReason_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("nothing listens") << false;
        QTest::newRow("listens, never answers") << true;
    }
    void unansweringServerFailsWithTheReason()
    {
        QFETCH(bool, listening);
        QTcpServer silent;
        const quint16 port = listening && silent.listen(QHostAddress::LocalHost) ? silent.serverPort()
                                                                                : freeLoopbackPort();
        QVERIFY(port > 0);
        writeSettings({{"InstallDir", "/nonexistent"}, {"Database/Server", "127.0.0.1"}, {"Database/Port", port},
                       {"Database/Path", "/srv/quiznewt.fdb"}});

        // Bounds with room for a loaded machine; a hang is what they catch.
        QElapsedTimer clock;
        clock.start();
        {
            QuizNewt window(new RecordingRoomLink);
        }
        QVERIFY(clock.elapsed() < 15000);
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Unable to open QuizNewt database: 127.0.0.1/%1:/srv/quiznewt.fdb").arg(port));
        QVERIFY2(shown[0].details.contains(QLatin1String("127.0.0.1")), qPrintable(shown[0].details));

        QTemporaryDir dir;
        QString output;
        clock.restart();
        QCOMPARE(run({"--db-server", "127.0.0.1", "--db-port", QString::number(port), "--db-path", "/srv/new.fdb",
                      dir.path()}, &output), 1);
        QCOMPARE(run({"--backup", dir.filePath("b.fbk")}, &output), 1);
        QVERIFY(clock.elapsed() < 30000);
        QVERIFY2(output.contains(QLatin1String("127.0.0.1")) && output.count(QLatin1Char('\n')) == 1, qPrintable(output));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.fbk"))));

        QProcess quiznewt;
        quiznewt.start(QStringLiteral(QUIZNEWT_EXECUTABLE), {"--no-window"});
        QVERIFY(quiznewt.waitForFinished(30000));
        QCOMPARE(quiznewt.exitCode(), 1);
        if (listening) {
            quiznewt.start(QStringLiteral(QUIZNEWT_EXECUTABLE), {"--no-window"});
            QVERIFY(quiznewt.waitForStarted());
            // Past a start-up slowed by a loaded machine, well before the 8 s
            // the program gives a server to answer.
            QTest::qWait(3000);
            quiznewt.terminate();
            QVERIFY2(quiznewt.waitForFinished(15000), "the stop is served while start-up waits");
            QCOMPARE(quiznewt.exitCode(), 0);
        }
    }

    // A crash during a backup leaves the older backup whole, and the next
    // backup clears what the crash left; a cut-off backup restores nothing.
    void crashesLeaveTheOldFiles()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        db.makeInstallDir();
        db.addQuestions(db.addCategory(QStringLiteral("Old")), 200);
        QTemporaryDir out;
        const QString backupFile = out.filePath(QStringLiteral("quiz.fbk"));
        QCOMPARE(run({QStringLiteral("--backup"), backupFile}), 0);
        const QByteArray older = readFile(backupFile);
        db.addQuestions(db.addCategory(QStringLiteral("New")), 20000);

        const QStringList temporary{QStringLiteral(".quiz.fbk.tmp-*")};
        const auto leftBehind = [&] { return QDir(out.path()).entryList(temporary, QDir::Files | QDir::Hidden); };
        QProcess backup;
        backup.start(QStringLiteral(SETUP_TOOL), {QStringLiteral("--backup"), backupFile});
        QVERIFY(QTest::qWaitFor([&] { return !leftBehind().isEmpty() || backup.state() == QProcess::NotRunning; },
                                30000));
        backup.kill();
        backup.waitForFinished();
        QCOMPARE(leftBehind().size(), 1);
        // gbak ends with the tool: nothing goes on writing the file.
        const QByteArray partial = leftBehind().value(0).toUtf8();
        const auto gbakRuns = [&] {
            for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
                if (readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).contains(partial))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!gbakRuns(), 10000);
        QCOMPARE(readFile(backupFile), older);

        const QString restoredDir = out.filePath(QStringLiteral("restored"));
        QCOMPARE(run({QStringLiteral("--restore"), backupFile, restoredDir}), 0);
        QCOMPARE(numbers(restoredDir + "/quiznewt.fdb", {"SELECT COUNT(*) FROM category_content"}), QList<int>{200});
        QCOMPARE(run({QStringLiteral("--backup"), backupFile}), 0);
        QVERIFY(leftBehind().isEmpty());

        const QString cut = out.filePath(QStringLiteral("cut.fbk"));
        QVERIFY(writeFile(cut, readFile(backupFile).left(readFile(backupFile).size() / 2)));
        QString output;
        QCOMPARE(run({"--restore", cut, out.filePath("cut")}, &output), 1);
        QVERIFY2(output.contains(QLatin1String("incomplete")), qPrintable(output));
        QCOMPARE(QDir(out.filePath(QStringLiteral("cut"))).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A file that opens but lacks the tables is named, not taken for an
    // empty database.
    void databaseWithoutOurTablesIsNamed()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        QVERIFY(db.exec(QStringLiteral("DROP TABLE users")));
        QString error;
        QVERIFY(!Database::open(db.filePath(), QStringLiteral("tableless"), &error).isOpen());
        QSqlDatabase::removeDatabase(QStringLiteral("tableless"));
        QVERIFY2(error.contains(QLatin1String("not a QuizNewt database")), qPrintable(error));
    }
};

QTEST_MAIN(TestSetupTool)
#include "tst_setuptool.moc"
