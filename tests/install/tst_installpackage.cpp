// The Debian package made from this build by cpack: named as Debian names
// packages, holding what an install holds under /usr, depending on the
// libraries the programs link and on what they load or run by name, and with
// units that start the program where the package puts it.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/common/testdatabase.h"
#include "tests/install/installedfiles.h"

class TestInstallPackage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void contents();
    void control_data();
    void control();
    void units_data();
    void units();

private:
    // Where the package's files are unpacked.
    QString root() const { return out.filePath(QStringLiteral("root")); }

    QTemporaryDir out;
    QString package;
};

void TestInstallPackage::initTestCase()
{
    QVERIFY(out.isValid());
    QString output;
    QVERIFY2(runTool(QStringLiteral(CPACK_PROGRAM),
                     {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
                      QStringLiteral("--config"), QStringLiteral(BUILD_DIR "/CPackConfig.cmake")},
                     &output) == 0,
             qPrintable(output));
    QString architecture;
    QCOMPARE(runTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}, &architecture), 0);
    package = out.filePath(QStringLiteral("quiznewt_%1_%2.deb").arg(QStringLiteral(PACKAGE_VERSION),
                                                                    architecture.trimmed()));
    QVERIFY2(QFileInfo::exists(package), qPrintable(QDir(out.path()).entryList().join(QLatin1Char(' '))));
    QVERIFY2(runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, root()}, &output) == 0,
             qPrintable(output));
}

void TestInstallPackage::contents()
{
    QString listing;
    QVERIFY2(runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), package}, &listing) == 0, qPrintable(listing));
    QStringList paths;
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        paths << line.section(QLatin1Char(' '), -1);
    for (const QString& file : installedFiles())
        QVERIFY2(paths.contains(QStringLiteral("./usr/") + file), qPrintable(file));
}

void TestInstallPackage::control_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("holds"); // a whole item of the field's list

    // Found by dpkg-shlibdeps in what the programs and the reader link.
    QTest::newRow("widgets library") << "Depends" << "libqt6widgets6";
    QTest::newRow("reader's library") << "Depends" << "libmdb3";
    // Loaded or run by name, so listed by hand.
    QTest::newRow("Firebird driver plugin") << "Depends" << "libqt6sql6-ibase";
    QTest::newRow("embedded engine") << "Depends" << "firebird3.0-server-core";
    QTest::newRow("gbak for backups") << "Depends" << "firebird3.0-utils";
    QTest::newRow("section") << "Section" << "games";
}

void TestInstallPackage::control()
{
    QFETCH(QString, field);
    QFETCH(QString, holds);
    QString value;
    QCOMPARE(runTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package, field}, &value), 0);
    // An item is a package name, maybe with a version: "libmdb3 (>= 0.5)".
    const QRegularExpression item(QStringLiteral("(^|, )%1( \\(|,|$)").arg(QRegularExpression::escape(holds)));
    QVERIFY2(item.match(value.trimmed()).hasMatch(), qPrintable(value));
}

void TestInstallPackage::units_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("execStart");
    QTest::newRow("default settings") << "quiznewt.service" << "ExecStart=/usr/bin/quiznewt --no-window\n";
    QTest::newRow("a profile") << "quiznewt@.service" << "ExecStart=/usr/bin/quiznewt --no-window --profile %i\n";
}

void TestInstallPackage::units()
{
    QFETCH(QString, unit);
    QFETCH(QString, execStart);
    QFile file(root() + QStringLiteral("/usr/lib/systemd/user/") + unit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(execStart), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestInstallPackage)
#include "tst_installpackage.moc"
