#include <QCryptographicHash>
#include <QProcess>
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
    void initTestCase();
    void createsAWorkingDatabase();
    void refusesAnExistingFileUnchanged();
    void reportsAnUnwritableDirectory();
    void writesRoomSettings();

private:
    int run(const QStringList& arguments, QString* output = nullptr);
    QTemporaryDir config;
};

void TestSetupTool::initTestCase()
{
    QVERIFY(config.isValid());
}

int TestSetupTool::run(const QStringList& arguments, QString* output)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(SETUP_TOOL), arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

static QSettings settingsIn(const QString& configDir)
{
    return QSettings(configDir + QStringLiteral("/NewtLiberty/QuizNewt.conf"), QSettings::IniFormat);
}

void TestSetupTool::createsAWorkingDatabase()
{
    QTemporaryDir install;
    const QString dir = install.path() + QStringLiteral("/new/sub");
    QString output;
    QCOMPARE(run({dir}, &output), 0);
    QSettings settings = settingsIn(config.path());
    QCOMPARE(settings.value(QStringLiteral("InstallDir")).toString(), dir);

    QString error;
    {
        QSqlDatabase db = Database::open(dir + QStringLiteral("/quiznewt.fdb"), QStringLiteral("check"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("SELECT cat.catName, COUNT(*) FROM category cat INNER JOIN category_content cc "
                                          "ON cc.catID=cat.catID GROUP BY cat.catName")));
        int categories = 0;
        while (query.next()) {
            ++categories;
            QVERIFY2(query.value(1).toInt() >= 30, qPrintable(query.value(0).toString()));
        }
        QVERIFY(categories >= 6);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

void TestSetupTool::refusesAnExistingFileUnchanged()
{
    QTemporaryDir install;
    QFile file(install.path() + QStringLiteral("/quiznewt.fdb"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a database, but somebody's file");
    file.close();
    const auto digest = [&] {
        QFile in(file.fileName());
        in.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = digest();
    QString output;
    QVERIFY(run({install.path()}, &output) != 0);
    QVERIFY2(output.contains(QLatin1String("already exists")), qPrintable(output));
    QCOMPARE(digest(), before);
}

void TestSetupTool::reportsAnUnwritableDirectory()
{
    // Below a plain file no directory can be made, not even by root.
    QTemporaryDir install;
    QFile plain(install.path() + QStringLiteral("/plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QString output;
    QVERIFY(run({plain.fileName() + QStringLiteral("/sub")}, &output) != 0);
    QCOMPARE(output.count(QLatin1Char('\n')), 1);
}

void TestSetupTool::writesRoomSettings()
{
    QTemporaryDir install;
    QCOMPARE(run({install.path(), QStringLiteral("--settings-only"), QStringLiteral("--server"), QStringLiteral("irc.example.org"),
                  QStringLiteral("--port"), QStringLiteral("6697"), QStringLiteral("--tls"), QStringLiteral("--channel"),
                  QStringLiteral("#quiz")}),
             0);
    QSettings settings = settingsIn(config.path());
    QCOMPARE(settings.value(QStringLiteral("Room/Server")).toString(), QStringLiteral("irc.example.org"));
    QCOMPARE(settings.value(QStringLiteral("Room/Port")).toInt(), 6697);
    QCOMPARE(settings.value(QStringLiteral("Room/Tls")).toBool(), true);
    QCOMPARE(settings.value(QStringLiteral("Room/Channel")).toString(), QStringLiteral("#quiz"));
    QVERIFY(!QFile::exists(install.path() + QStringLiteral("/quiznewt.fdb")));
    QCOMPARE(run({install.path(), QStringLiteral("--port"), QStringLiteral("x"), QStringLiteral("--settings-only")}), 1);
}

QTEST_GUILESS_MAIN(TestSetupTool)
#include "tst_setuptool.moc"
