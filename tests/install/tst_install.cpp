// This build installed into a temporary prefix and used from there, as a user
// would: the installed tree is complete and valid for the desktop, the manual
// and systemd, the installed tools set up and import through the installed
// TriviaBot reader, and the installed program hosts a room without a display.

#include <QHash>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "db/database.h"
#include "quiz/replies.h"
#include "tests/common/ircclient.h"
#include "tests/common/ngircdserver.h"
#include "tests/common/testdatabase.h"
#include "tests/install/installedfiles.h"

class TestInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installedTree();
    void validates_data();
    void validates();
    void importsThroughInstalledReader();
    void hostsWithoutWindow();

private:
    QString installed(const QString& path) const { return prefix.filePath(path); }

    QTemporaryDir prefix;
    QTemporaryDir installDir; // the database the installed setup makes
};

void TestInstall::initTestCase()
{
    isolateSettings();
    QVERIFY(prefix.isValid() && installDir.isValid());
    // systemd-analyze and QuizNewt's lock want the runtime directory to exist.
    QVERIFY(QDir().mkpath(qEnvironmentVariable("XDG_RUNTIME_DIR")));
    QString output;
    QVERIFY2(runTool(QStringLiteral(CMAKE_PROGRAM),
                     {QStringLiteral("--install"), QStringLiteral(BUILD_DIR), QStringLiteral("--prefix"), prefix.path()},
                     &output) == 0,
             qPrintable(output));
    QVERIFY2(runTool(installed(QStringLiteral("bin/quiznewt-setup")), {installDir.path()}, &output) == 0,
             qPrintable(output));
    QVERIFY(QFileInfo::exists(installDir.filePath(Database::fileName)));
}

void TestInstall::installedTree()
{
    for (const QString& file : installedFiles())
        QVERIFY2(QFileInfo(installed(file)).isFile(), qPrintable(file));
    for (const char* program :
         {"bin/quiznewt", "bin/quiznewt-setup", "bin/quiznewt-import", "libexec/quiznewt/quiznewt-mdbread"})
        QVERIFY2(QFileInfo(installed(QLatin1String(program))).isExecutable(), program);
    for (int size : iconSizes) {
        const QString icon = installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/quiznewt.png").arg(size));
        QCOMPARE(QImage(icon).size(), QSize(size, size));
    }
}

void TestInstall::validates_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the prefix
    QTest::addColumn<bool>("optional"); // skipped where the program is missing
    QTest::addColumn<QString>("shows"); // a text the output must hold

    QTest::newRow("desktop entry") << "desktop-file-validate"
        << QStringList{"@/share/applications/io.github.newtliberty.quiznewt.desktop"} << false << "";
    QTest::newRow("metainfo") << "appstreamcli"
        << QStringList{"validate", "--no-net", "@/share/metainfo/io.github.newtliberty.quiznewt.metainfo.xml"}
        << false << "";
    // Documentation=man:quiznewt(6) is looked up too, in the installed manuals.
    QTest::newRow("user units") << "systemd-analyze"
        << QStringList{"--user", "verify", "@/lib/systemd/user/quiznewt.service",
                       "@/lib/systemd/user/quiznewt@.service"}
        << true << "";
    const QStringList man{"--warnings", "-l"};
    QTest::newRow("quiznewt manual") << "man" << man + QStringList{"@/share/man/man6/quiznewt.6.gz"} << true
                                     << "--no-window";
    QTest::newRow("quiznewt-setup manual") << "man" << man + QStringList{"@/share/man/man6/quiznewt-setup.6.gz"}
                                           << true << "--auto-connect";
    QTest::newRow("quiznewt-import manual") << "man" << man + QStringList{"@/share/man/man6/quiznewt-import.6.gz"}
                                            << true << "TriviaBot";
}

void TestInstall::validates()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, optional);
    QFETCH(QString, shows);

    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty() && optional)
        QSKIP(qPrintable(program + QStringLiteral(" is not installed")));
    QVERIFY2(!path.isEmpty(), qPrintable(program + QStringLiteral(" is not installed")));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@")), prefix.path());

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANPATH"), installed(QStringLiteral("share/man")));
    // A machine's locale that is not there would add complaints of its own.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    QVERIFY(process.waitForFinished(30000));
    const QString output = QString::fromUtf8(process.readAll());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, qPrintable(output));
    // groff's warnings (a bad macro or escape) do not change man's exit code.
    QVERIFY2(!output.contains(QLatin1String("warning")), qPrintable(output));
    QVERIFY2(output.contains(shows), qPrintable(output));
}

void TestInstall::importsThroughInstalledReader()
{
    // Programs fall back on the build tree's reader; a trace written by the
    // installed one shows that the installed tool found its own.
    const QString reader = installed(QStringLiteral("libexec/quiznewt/quiznewt-mdbread"));
    const QString trace = installDir.filePath(QStringLiteral("reader-trace"));
    QVERIFY(QFile::rename(reader, reader + QStringLiteral(".real")));
    {
        QFile wrapper(reader);
        QVERIFY(wrapper.open(QIODevice::WriteOnly));
        wrapper.write("#!/bin/sh\necho \"$1\" >> '" + QFile::encodeName(trace) + "'\nexec \"$0.real\" \"$@\"\n");
        QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner));
    }

    QString output;
    QVERIFY2(runTool(installed(QStringLiteral("bin/quiznewt-import")),
                     {QStringLiteral("--create-category"), QStringLiteral(QUIZNEWT_TEST_DATA "/small.mdb")}, &output)
                 == 0,
             qPrintable(output));
    // Two of the file's questions are starter questions of the same category.
    QVERIFY2(output.contains(QLatin1String("small.mdb: 24 imported, 2 skipped\n"
                                           "  line 1: already in category \"Geography\"")),
             qPrintable(output));
    QFile traced(trace);
    QVERIFY2(traced.open(QIODevice::ReadOnly), "the installed reader was not run");
    QCOMPARE(traced.readAll().count("rows\n"), 5);

    // Each table became the category of its name; the empty one made none.
    QHash<QString, int> counts;
    {
        QString error;
        QSqlDatabase db = Database::open(installDir.filePath(Database::fileName), QStringLiteral("check"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("SELECT c.catName, COUNT(*) FROM category c JOIN category_content cc "
                                          "ON cc.catID = c.catID GROUP BY c.catName")));
        while (query.next())
            counts.insert(query.value(0).toString(), query.value(1).toInt());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    QCOMPARE(counts.value(QStringLiteral("80's Music")), 5);
    QCOMPARE(counts.value(QStringLiteral("Umlaute äöü")), 3);
    QVERIFY(!counts.contains(QStringLiteral("Empty")));
}

void TestInstall::hostsWithoutWindow()
{
    NgircdServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    QString output;
    QVERIFY2(runTool(installed(QStringLiteral("bin/quiznewt-setup")),
                     {QStringLiteral("--settings-only"), installDir.path(), QStringLiteral("--server"), server.host(),
                      QStringLiteral("--port"), QString::number(server.port()), QStringLiteral("--channel"),
                      QStringLiteral("#install"), QStringLiteral("--auto-connect")},
                     &output) == 0,
             qPrintable(output));
    IrcClient alice;
    QVERIFY(alice.connectAndJoin(server.port(), "Alice", "#install"));

    // No display at all: the option alone must keep Qt off the screen.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess quiznewt;
    quiznewt.setProcessEnvironment(environment);
    quiznewt.setProcessChannelMode(QProcess::ForwardedChannels);
    quiznewt.start(installed(QStringLiteral("bin/quiznewt")), {QStringLiteral("--no-window")});
    QVERIFY(quiznewt.waitForStarted(5000));
    // A program that cannot run without a display ends at once.
    const bool settled = QTest::qWaitFor(
        [&] { return !alice.channelLines().isEmpty() || quiznewt.state() == QProcess::NotRunning; }, 15000);
    QVERIFY2(quiznewt.state() == QProcess::Running, "quiznewt --no-window ended by itself");
    QVERIFY2(settled, "joins and greets by itself");
    QCOMPARE(alice.joins(), QStringList{QStringLiteral("QuizNewt")});
    QCOMPARE(alice.channelLines().value(0), QStringLiteral("QuizNewt: ") + Replies::connected());

    ::kill(pid_t(quiznewt.processId()), SIGTERM);
    QVERIFY2(quiznewt.waitForFinished(5000), "ends on SIGTERM");
    QCOMPARE(quiznewt.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quiznewt.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
