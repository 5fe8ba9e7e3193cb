#include <QSettings>
#include <QSqlQuery>
#include <QtTest>

#include "db/database.h"
#include "tests/common/testdatabase.h"

// The setup tool, run as a user runs it.
class TestSetupTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void createsAWorkingDatabaseOnce();
    void reportsAnUnwritableDirectory();
    void writesRoomSettingsOnly();
};

static int run(const QStringList& arguments, QString* output = nullptr)
{
    return runTool(QStringLiteral(SETUP_TOOL), arguments, output);
}

void TestSetupTool::createsAWorkingDatabaseOnce()
{
    QTemporaryDir install;
    const QString dir = install.path() + QStringLiteral("/new/sub");
    QCOMPARE(run({dir}), 0);
    QCOMPARE(QSettings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt")).value(QStringLiteral("InstallDir")), dir);
    {
        QString error;
        QSqlDatabase db = Database::open(dir + QStringLiteral("/quiznewt.fdb"), QStringLiteral("check"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("SELECT COUNT(*) FROM (SELECT cc.catID FROM category_content cc "
                                          "INNER JOIN content c ON c.contentID=cc.contentID INNER JOIN category cat "
                                          "ON cat.catID=cc.catID GROUP BY cc.catID HAVING COUNT(*) >= 30)")) && query.next());
        QVERIFY(query.value(0).toInt() >= 6);
        // Every question is answerable: no empty answer, none with runs of blanks.
        QVERIFY(query.exec(QStringLiteral("SELECT COUNT(*) FROM content WHERE answer IS NULL OR TRIM(answer)='' "
                                          "OR answer<>TRIM(answer) OR answer LIKE '%  %'")) && query.next());
        QCOMPARE(query.value(0).toInt(), 0);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // Run again, it leaves the existing database exactly as it was.
    QFile file(dir + QStringLiteral("/quiznewt.fdb"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QString output;
    QCOMPARE(run({dir}, &output), 1);
    QVERIFY2(output.contains(QLatin1String("already exists")), qPrintable(output));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
}

void TestSetupTool::reportsAnUnwritableDirectory()
{
    // Below a plain file no directory can be made, not even by root.
    QTemporaryFile plain;
    QVERIFY(plain.open());
    const QString dir = plain.fileName() + QStringLiteral("/sub");
    QString output;
    QCOMPARE(run({dir}, &output), 1);
    QVERIFY2(output.contains(dir) && output.count(QLatin1Char('\n')) == 1, qPrintable(output));
}

void TestSetupTool::writesRoomSettingsOnly()
{
    QTemporaryDir install;
    QString output;
    QCOMPARE(run({"--settings-only", install.path(), "--server", "irc.example.org", "--port", "6697", "--tls",
                  "--channel", "#quiz", "--sasl-user", "quizbot", "--sasl-password", "s3cret", "--auto-connect"},
                 &output),
             0);
    QVERIFY2(!output.contains(QLatin1String("s3cret")), "the password is never printed");
    QSettings settings(QStringLiteral("NewtLiberty"), QStringLiteral("QuizNewt"));
    const auto room = [&] {
        settings.sync();
        QStringList values;
        for (const char* key : {"Server", "Port", "Tls", "Channel", "SaslUser", "SaslPassword", "AutoConnect"})
            values << settings.value(QLatin1String("Room/") + QLatin1String(key)).toString();
        return values.join(QLatin1Char('|'));
    };
    const QString written = QStringLiteral("irc.example.org|6697|true|#quiz|quizbot|s3cret|true");
    QCOMPARE(room(), written);
    QCOMPARE(QFile::permissions(settings.fileName()) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    QVERIFY(!QFile::exists(install.path() + QStringLiteral("/quiznewt.fdb")));
    // A bad value changes nothing.
    QCOMPARE(run({"--settings-only", install.path(), "--port", "x"}), 1);
    QCOMPARE(room(), written);
}

QTEST_GUILESS_MAIN(TestSetupTool)
#include "tst_setuptool.moc"
