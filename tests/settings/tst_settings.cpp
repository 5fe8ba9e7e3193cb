// The settings: what a file's values become, how a value that cannot be used
// is named, the owner-only file and the profiles' places.

#include <QtTest>

#include "settings/settings.h"

#include <sys/stat.h>

using Map = QVariantMap;

namespace {

// Every setting of the groups as text, keyed as in the file.
struct Collect : Settings::FieldVisitor
{
    void field(const char* key, Settings::Kind, QString& value) override { add(key, value); }
    void field(const char* key, Settings::Kind, int& value) override { add(key, QString::number(value)); }
    void field(const char* key, Settings::Kind, bool& value) override { add(key, value ? "true" : "false"); }
    void add(const char* key, const QString& value) { values.insert(prefix + QLatin1String(key), value); }
    template <class Group>
    void add(const char* groupPrefix, Settings::Problems* problems)
    {
        prefix = QLatin1String(groupPrefix);
        Settings::load<Group>(problems).fields(*this);
    }
    QString prefix;
    Map values;
};

// At each write of the probe format: the file's mode, and whether the password went in.
QFile::Permissions modeAtWrite;
bool passwordWritten = false;

bool probeRead(QIODevice&, QSettings::SettingsMap&) { return true; }
bool probeWrite(QIODevice& device, const QSettings::SettingsMap& map)
{
    modeAtWrite = static_cast<QFileDevice&>(device).permissions() & ~(QFile::ReadUser | QFile::WriteUser);
    passwordWritten = map.value(QStringLiteral("Room/SaslPassword")) == QLatin1String("secret");
    return true;
}

}

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir config;

private Q_SLOTS:
    void initTestCase()
    {
        // Before the first QSettings: that one fixes the user's place.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QVERIFY(Settings::setIdentity());
    }
    void init() { Settings::File().clear(); }

    void load_data()
    {
        QTest::addColumn<Map>("written");
        QTest::addColumn<Map>("expected");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* name, const Map& written, const Map& expected, const char* problem = "") {
            QTest::newRow(name) << written << expected << QString::fromUtf8(problem);
        };
        row("empty InstallDir is not set", {{"InstallDir", ""}}, {{"set", false}});
        row("relative InstallDir", {{"InstallDir", "quiz"}}, {}, "InstallDir: \"quiz\" is not an absolute path");
        row("port not a number", {{"Database/Server", "db"}, {"Database/Path", "/q.fdb"}, {"Database/Port", "abc"}},
            {{"Database/Port", "3050"}}, "Database/Port: \"abc\" is not a port number");
        row("rejoin delay out of range", {{"Room/RejoinAfterKick", "-1"}}, {{"Room/RejoinAfterKick", "30"}},
            "Room/RejoinAfterKick: \"-1\" is not a number of seconds from 0 to 86400");
        row("flag neither true nor false", {{"Room/AutoConnect", "maybe"}}, {},
            "Room/AutoConnect: \"maybe\" is not true or false");
        row("nick with a blank", {{"Room/Nick", "Quiz Master"}}, {{"Room/Nick", "QuizNewt"}},
            "Room/Nick: \"Quiz Master\" is not a nick: one word without , : ! or @");
        row("nick with * as the link allows", {{"Room/Nick", " Quiz*Newt "}}, {{"Room/Nick", "Quiz*Newt"}});
        row("channel given its #, flag as yes", {{"Room/Channel", "quiz"}, {"Room/Tls", "Yes"}},
            {{"Room/Channel", "#quiz"}, {"Room/Tls", "true"}});
        row("unquoted comma in the file", {{"Room/Password", QStringList{"se", "cret"}}}, {{"Room/Password", ""}},
            "Room/Password: a value with a comma needs double quotes in the file");
        row("password with a line break, not shown", {{"Room/SaslUser", "bot"}, {"Room/SaslPassword", "se\ncret"}},
            {{"Room/SaslPassword", ""}}, "Room/SaslPassword: the value holds a line break or NUL");
        row("server without its path", {{"Database/Server", "db"}}, {},
            "Database/Path: not set, and Database/Server needs it");
    }
    void load()
    {
        QFETCH(Map, written);
        QFETCH(Map, expected);
        QFETCH(QString, problem);
        Settings::File file;
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            file.setValue(it.key(), it.value());

        Settings::Problems problems;
        Collect collect;
        collect.add<Settings::Install>("", &problems);
        collect.add<Settings::Room>("Room/", &problems);
        collect.add<Settings::Database>("Database/", &problems);
        collect.values.insert(QStringLiteral("set"), Settings::load<Settings::Install>().isSet());
        QCOMPARE(problems, problem.isEmpty() ? QStringList() : QStringList(problem));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(collect.values.value(it.key()), it.value());
    }

    // The setup tool's options take the file's place; a save writes all or nothing.
    void givenValuesAndSaving()
    {
        Settings::File().setValue(QStringLiteral("Room/Port"), QStringLiteral("abc"));
        Settings::Problems problems;
        Settings::Room room = Settings::load<Settings::Room>(&problems, {{"Port", "6697"}, {"Nik", "a"}});
        QCOMPARE(problems, QStringList("Room/Nik: no such setting"));
        room.nick = QStringLiteral("a b");
        QString error;
        QVERIFY(!Settings::save(room, &error));
        QCOMPARE(error, QStringLiteral("Room/Nick: \"a b\" is not a nick: one word without , : ! or @"));
        QCOMPARE(Settings::File().value(QStringLiteral("Room/Port")), QVariant("abc"));
        room.nick = QStringLiteral("Quizzer");
        QVERIFY2(Settings::save(room, &error), qPrintable(error));
        QCOMPARE(Settings::load<Settings::Room>().port, 6697);
    }

    // A new file, and one readable by all.
    void ownerOnlyBeforeThePasswordIsWritten_data()
    {
        QTest::addColumn<QFile::Permissions>("existing");
        QTest::newRow("new file") << QFile::Permissions();
        QTest::newRow("file readable by all") << QFile::Permissions(0x6444);
    }
    void ownerOnlyBeforeThePasswordIsWritten()
    {
        QFETCH(QFile::Permissions, existing);
        passwordWritten = false;
        QSettings::setDefaultFormat(QSettings::registerFormat(QStringLiteral("probe"), probeRead, probeWrite));
        QFile file(Settings::File().fileName());
        file.remove();
        QVERIFY(!existing || (file.open(QIODevice::WriteOnly) && file.setPermissions(existing)));
        ::umask(022);
        const auto room = Settings::parse<Settings::Room>({{"SaslUser", "bot"}, {"SaslPassword", "secret"}});
        QString error;
        const bool saved = Settings::save(room, &error);
        QSettings::setDefaultFormat(QSettings::NativeFormat);
        QVERIFY2(saved && passwordWritten, qPrintable(error));
        QCOMPARE(modeAtWrite, QFile::ReadOwner | QFile::WriteOwner);
    }

    void profiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("letters, digits, dot, dash, underscore") << "red1.b-c_d" << true;
        QTest::newRow("65 characters") << QString(65, QLatin1Char('x')) << false;
        QTest::newRow("out of the profiles' folder") << "../red" << false;
        QTest::newRow("ends with a line break") << "red\n" << false;
    }
    void profiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(Settings::setIdentity(name), valid);
        const QString place = valid ? QStringLiteral("/NewtLiberty/profiles/") + name : QString();
        QCOMPARE(Settings::File().fileName(), config.path() + place + QStringLiteral("/NewtLiberty/QuizNewt.conf"));
        QVERIFY(Settings::setIdentity());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
