// This build installed into a temporary prefix and used from there, as a user
// would: the installed tree is complete and valid for the desktop, the manual
// and systemd, and the installed tools set up and import through the installed
// TriviaBot reader (hosting without a display is the stop-signal test's). Then the Debian package cpack makes of it: named as Debian names packages,
// holding what an install holds under /usr, depending on the libraries the
// programs link and on what they load or run by name, and with units that
// start the program where the package puts it.

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/common/testdatabase.h"

// Every file an install puts under its prefix, relative to it; the install
// tree and the package are both checked against it.
static QStringList installedFiles()
{
    QStringList files = {"bin/quiznewt", "bin/quiznewt-setup", "bin/quiznewt-import", "bin/quiznewt-web",
                         "libexec/quiznewt/quiznewt-mdbread",
                         "share/applications/io.github.newtliberty.quiznewt.desktop",
                         "share/metainfo/io.github.newtliberty.quiznewt.metainfo.xml",
                         "share/man/man6/quiznewt.6.gz", "share/man/man6/quiznewt-setup.6.gz",
                         "share/man/man6/quiznewt-import.6.gz", "share/man/man1/quiznewt-web.1.gz",
                         "share/doc/quiznewt/copyright", "share/doc/quiznewt/changelog.Debian.gz",
                         "lib/systemd/user/quiznewt.service", "lib/systemd/user/quiznewt@.service",
                         "lib/systemd/user/quiznewt-web.service", "lib/systemd/user/quiznewt-web@.service"};
    for (int size : {16, 24, 32, 48, 64, 128})
        files << QStringLiteral("share/icons/hicolor/%1x%1/apps/quiznewt.png").arg(size);
    return files;
}

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix;
    QTemporaryDir installDir; // the database the installed setup makes
    QTemporaryDir out; // the package, and its files unpacked under root/
    QString package;

    QString installed(const QString& path) const { return prefix.filePath(path); }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        // systemd-analyze wants the runtime directory to exist and looks up
        // Documentation=man:quiznewt(6) in the installed manuals; a machine's
        // locale that is not there would add complaints of its own.
        QVERIFY(QDir().mkpath(qEnvironmentVariable("XDG_RUNTIME_DIR")));
        qputenv("MANPATH", QFile::encodeName(installed("share/man")));
        qputenv("LC_ALL", "C.UTF-8");
        QString output;
        QVERIFY2(runTool(CMAKE_PROGRAM, {"--install", BUILD_DIR, "--prefix", prefix.path()}, &output) == 0,
                 qPrintable(output));
        QVERIFY2(runTool(installed("bin/quiznewt-setup"), {installDir.path()}, &output) == 0, qPrintable(output));

        QVERIFY2(runTool(CPACK_PROGRAM, {"-G", "DEB", "-B", out.path(), "--config", BUILD_DIR "/CPackConfig.cmake"},
                         &output) == 0,
                 qPrintable(output));
        QString architecture;
        QCOMPARE(runTool("dpkg", {"--print-architecture"}, &architecture), 0);
        // Named as Debian names packages: the version with its packaging revision.
        package = out.filePath(
            QStringLiteral("quiznewt_%1-1_%2.deb").arg(QStringLiteral(PACKAGE_VERSION), architecture.trimmed()));
        QVERIFY2(runTool("dpkg-deb", {"-x", package, out.filePath("root")}, &output) == 0,
                 qPrintable(QDir(out.path()).entryList().join(' ')));
    }

    // The same files under the prefix and, under /usr, in the package; the
    // programs alone executable. The units start the program where the
    // package puts it.
    void installedAndPackaged()
    {
        QString listing;
        QVERIFY2(runTool("dpkg-deb", {"-c", package}, &listing) == 0, qPrintable(listing));
        QStringList packaged;
        for (const QString& line : listing.split('\n', Qt::SkipEmptyParts))
            packaged << line.section(' ', -1);
        for (const QString& file : installedFiles()) {
            QVERIFY2(QFileInfo(installed(file)).isFile() && packaged.contains("./usr/" + file), qPrintable(file));
            QVERIFY2(QFileInfo(installed(file)).isExecutable() == file.contains(QRegularExpression("^(bin|libexec)/")),
                     qPrintable(file));
        }
        const QList<std::pair<const char*, const char*>> units = {
            {"quiznewt.service", "ExecStart=/usr/bin/quiznewt --no-window\n"},
            {"quiznewt@.service", "ExecStart=/usr/bin/quiznewt --no-window --profile %i\n"},
            {"quiznewt-web.service", "ExecStart=/usr/bin/quiznewt-web --listen ${QUIZNEWT_WEB_LISTEN}\n"},
            {"quiznewt-web@.service", "ExecStart=/usr/bin/quiznewt-web --profile %i --listen ${QUIZNEWT_WEB_LISTEN}\n"}};
        for (const auto& [unit, execStart] : units) {
            QFile file(out.filePath("root/usr/lib/systemd/user/") + unit);
            QVERIFY2(file.open(QIODevice::ReadOnly) && file.readAll().contains(execStart), unit);
        }
    }

    void validates_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments"); // "@" stands for the prefix
        QTest::addColumn<bool>("optional"); // skipped where the program is missing

        QTest::newRow("desktop entry") << "desktop-file-validate"
            << QStringList{"@/share/applications/io.github.newtliberty.quiznewt.desktop"} << false;
        QTest::newRow("metainfo") << "appstreamcli"
            << QStringList{"validate", "--no-net", "@/share/metainfo/io.github.newtliberty.quiznewt.metainfo.xml"}
            << false;
        QTest::newRow("user units") << "systemd-analyze"
            << QStringList{"--user", "verify", "@/lib/systemd/user/quiznewt.service",
                           "@/lib/systemd/user/quiznewt@.service", "@/lib/systemd/user/quiznewt-web.service",
                           "@/lib/systemd/user/quiznewt-web@.service"}
            << true;
        QTest::newRow("manuals") << "man"
            << QStringList{"--warnings", "-l", "@/share/man/man6/quiznewt.6.gz", "@/share/man/man6/quiznewt-setup.6.gz",
                           "@/share/man/man6/quiznewt-import.6.gz", "@/share/man/man1/quiznewt-web.1.gz"}
            << true;
    }
    void validates()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, optional);

        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty() && optional)
            QSKIP(qPrintable(program + " is not installed"));
        QVERIFY2(!path.isEmpty(), qPrintable(program + " is not installed"));
        arguments.replaceInStrings(QRegularExpression("^@"), prefix.path());
        QString output;
        QVERIFY2(runTool(path, arguments, &output) == 0, qPrintable(output));
        // groff's warnings (a bad macro or escape) do not change man's exit code.
        QVERIFY2(!output.contains(QLatin1String("warning")), qPrintable(output));
    }

    void importsThroughInstalledReader()
    {
        // Programs fall back on the build tree's reader; a trace written by the
        // installed one shows that the installed tool found its own.
        const QString reader = installed("libexec/quiznewt/quiznewt-mdbread");
        const QString trace = installDir.filePath("reader-trace");
        QVERIFY(QFile::rename(reader, reader + ".real"));
        {
            QFile wrapper(reader);
            QVERIFY(wrapper.open(QIODevice::WriteOnly));
            wrapper.write("#!/bin/sh\necho \"$1\" >> '" + QFile::encodeName(trace) + "'\nexec \"$0.real\" \"$@\"\n");
            QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFile::ExeOwner));
        }

        QString output;
        QVERIFY2(runTool(installed("bin/quiznewt-import"), {"--create-category", QUIZNEWT_TEST_DATA "/small.mdb"},
                         &output) == 0,
                 qPrintable(output));
        // Two of the file's questions are starter questions of the same category.
        QVERIFY2(output.contains(QLatin1String("small.mdb: 24 imported, 2 skipped\n"
                                               "  line 1: already in category \"Geography\"")),
                 qPrintable(output));
        QFile traced(trace);
        QVERIFY2(traced.open(QIODevice::ReadOnly), "the installed reader was not run");
        // Its five tables, each read to check and again to store.
        QCOMPARE(traced.readAll().count("rows\n"), 10);
    }

    // Found by dpkg-shlibdeps in what the programs and the reader link, or
    // loaded and run by name, so listed by hand: the Firebird driver plugin,
    // the embedded engine and gbak for backups.
    void packageDepends()
    {
        QString value;
        QCOMPARE(runTool("dpkg-deb", {"-f", package, "Depends"}, &value), 0);
        // An item is a package name, maybe with a version: "libmdb3 (>= 0.5)".
        QStringList names;
        for (const QString& item : value.trimmed().split(QStringLiteral(", ")))
            names << item.section(' ', 0, 0);
        for (const char* needed : {"libqt6widgets6", "libqt6httpserver6", "libmdb3", "libqt6sql6-ibase",
                                   "firebird3.0-server-core", "firebird3.0-utils"})
            QVERIFY2(names.contains(QLatin1String(needed)), qPrintable(needed + (" not in " + value)));
    }

    // Debian's own check of the package: no error (a warning or a note
    // does not stop an upload).
    void lintianFindsNoError()
    {
        if (QStandardPaths::findExecutable("lintian").isEmpty())
            QSKIP("lintian is not installed");
        QString output;
        runTool("lintian", {"--no-tag-display-limit", package}, &output);
        const QStringList errors = output.split('\n').filter(QRegularExpression("^E: "));
        QVERIFY2(errors.isEmpty(), qPrintable(output));
        QVERIFY2(!output.contains("hardening-no-"), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
