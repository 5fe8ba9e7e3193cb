// The settings: what a file's values become, how a value that cannot be used
// is named, the owner-only file and the profiles' places.

#include <QtTest>

#include "settings/settings.h"

#include <sys/stat.h>

namespace {

// Every setting of the groups as text, keyed as in the file.
class Collect : public Settings::FieldVisitor
{
public:
    void field(const char* key, Settings::Kind, QString& value) override { add(key, value); }
    void field(const char* key, Settings::Kind, int& value) override { add(key, QString::number(value)); }
    void field(const char* key, Settings::Kind, bool& value) override { add(key, QVariant(value).toString()); }
    void add(const char* key, const QString& value)
    {
        values.insert(group.isEmpty() ? QLatin1String(key) : group + QLatin1Char('/') + QLatin1String(key), value);
    }

    QString group;
    QVariantMap values;
};

QVariantMap loadAll(Settings::Problems* problems)
{
    Collect collect;
    Settings::Install install = Settings::load<Settings::Install>(problems);
    install.fields(collect);
    collect.values.insert(QStringLiteral("set"), install.isSet());
    collect.group = QStringLiteral("Room");
    Settings::load<Settings::Room>(problems).fields(collect);
    collect.group = QStringLiteral("Database");
    Settings::load<Settings::Database>(problems).fields(collect);
    return collect.values;
}

// A settings format that records, at each write, the file's mode and
// whether the password was in what went in.
QFile::Permissions modeAtWrite;
bool passwordWritten = false;
const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
    | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

bool probeRead(QIODevice&, QSettings::SettingsMap&) { return true; }
bool probeWrite(QIODevice& device, const QSettings::SettingsMap& map)
{
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        modeAtWrite = file->permissions() & modeBits;
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
    void init()
    {
        Settings::File file;
        file.clear();
        file.sync();
    }

    void load_data()
    {
        QTest::addColumn<QVariantMap>("written");
        QTest::addColumn<QVariantMap>("expected");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("empty file: the defaults") << QVariantMap{}
            << QVariantMap{{"InstallDir", ""}, {"set", false}, {"Room/Server", "127.0.0.1"}, {"Room/Port", "6667"},
                           {"Room/Tls", "false"}, {"Room/Nick", "QuizNewt"}, {"Room/Channel", "#trivia"},
                           {"Room/AutoConnect", "false"}, {"Database/Server", ""}, {"Database/Port", "3050"},
                           {"Database/User", "sysdba"}}
            << QStringList{};
        QTest::newRow("empty InstallDir is not set") << QVariantMap{{"InstallDir", ""}}
            << QVariantMap{{"set", false}} << QStringList{};
        QTest::newRow("relative InstallDir") << QVariantMap{{"InstallDir", "quiz"}} << QVariantMap{{"set", false}}
            << QStringList{"InstallDir: \"quiz\" is not an absolute path"};
        QTest::newRow("port not a number")
            << QVariantMap{{"Database/Server", "db"}, {"Database/Path", "/srv/q.fdb"}, {"Database/Port", "abc"}}
            << QVariantMap{{"Database/Port", "3050"}} << QStringList{"Database/Port: \"abc\" is not a port number"};
        QTest::newRow("port out of range") << QVariantMap{{"Room/Port", "70000"}} << QVariantMap{{"Room/Port", "6667"}}
            << QStringList{"Room/Port: \"70000\" is not a port number"};
        QTest::newRow("flag neither true nor false") << QVariantMap{{"Room/AutoConnect", "maybe"}}
            << QVariantMap{{"Room/AutoConnect", "false"}} << QStringList{"Room/AutoConnect: \"maybe\" is not true or false"};
        QTest::newRow("flag as yes") << QVariantMap{{"Room/Tls", "Yes"}} << QVariantMap{{"Room/Tls", "true"}}
            << QStringList{};
        QTest::newRow("host with a blank") << QVariantMap{{"Room/Server", "irc example.org"}}
            << QVariantMap{{"Room/Server", "127.0.0.1"}} << QStringList{"Room/Server: \"irc example.org\" is not a host name"};
        QTest::newRow("empty room server") << QVariantMap{{"Room/Server", " "}} << QVariantMap{}
            << QStringList{"Room/Server: \" \" is not a host name"};
        QTest::newRow("nick with a blank") << QVariantMap{{"Room/Nick", "Quiz Master"}}
            << QVariantMap{{"Room/Nick", "QuizNewt"}}
            << QStringList{"Room/Nick: \"Quiz Master\" is not a nick: one word without , : ! or @"};
        QTest::newRow("nick with * as the link allows") << QVariantMap{{"Room/Nick", " Quiz*Newt "}}
            << QVariantMap{{"Room/Nick", "Quiz*Newt"}} << QStringList{};
        QTest::newRow("channel given its #") << QVariantMap{{"Room/Channel", "quiz"}}
            << QVariantMap{{"Room/Channel", "#quiz"}} << QStringList{};
        QTest::newRow("channel with a comma") << QVariantMap{{"Room/Channel", "#a,#b"}} << QVariantMap{}
            << QStringList{"Room/Channel: \"#a,#b\" is not a channel: one word without a comma, such as #trivia"};
        QTest::newRow("unquoted comma in the file") << QVariantMap{{"Room/Password", QStringList{"se", "cret"}}}
            << QVariantMap{{"Room/Password", ""}}
            << QStringList{"Room/Password: a value with a comma needs double quotes in the file"};
        QTest::newRow("password with a line break, not shown")
            << QVariantMap{{"Room/SaslUser", "bot"}, {"Room/SaslPassword", "se\ncret"}}
            << QVariantMap{{"Room/SaslPassword", ""}}
            << QStringList{"Room/SaslPassword: the value holds a line break or NUL"};
        QTest::newRow("SASL password without its account") << QVariantMap{{"Room/SaslPassword", "x"}} << QVariantMap{}
            << QStringList{"Room/SaslPassword: set without Room/SaslUser, the account it belongs to"};
        QTest::newRow("server without its path") << QVariantMap{{"Database/Server", "db"}} << QVariantMap{}
            << QStringList{"Database/Path: not set, and Database/Server needs it"};
    }
    void load()
    {
        QFETCH(QVariantMap, written);
        QFETCH(QVariantMap, expected);
        {
            Settings::File file;
            for (auto it = written.cbegin(); it != written.cend(); ++it)
                file.setValue(it.key(), it.value());
        }
        Settings::Problems problems;
        const QVariantMap loaded = loadAll(&problems);
        QTEST(problems, "problems");
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(loaded.value(it.key()), it.value());
    }

    // What the setup tool's options do: given values take the file's place.
    void givenValuesAndSaving()
    {
        Settings::File().setValue(QStringLiteral("Room/Port"), QStringLiteral("abc"));
        Settings::Problems problems;
        Settings::Room room = Settings::load<Settings::Room>(&problems, {{"Port", "6697"}, {"Nik", "a"}});
        QCOMPARE(problems, QStringList{"Room/Nik: no such setting"});
        QCOMPARE(room.port, 6697);

        QString error;
        room.nick = QStringLiteral("a b");
        QVERIFY(!Settings::save(room, &error));
        QCOMPARE(error, QStringLiteral("Room/Nick: \"a b\" is not a nick: one word without , : ! or @"));
        QCOMPARE(Settings::File().value(QStringLiteral("Room/Port")), QVariant("abc"));
        room.nick = QStringLiteral("Quizzer");
        room.channel = QStringLiteral("quiz");
        QVERIFY2(Settings::save(room, &error), qPrintable(error));
        problems.clear();
        const Settings::Room saved = Settings::load<Settings::Room>(&problems);
        QVERIFY(problems.isEmpty());
        QCOMPARE(saved.port, 6697);
        QCOMPARE(saved.channel, QStringLiteral("#quiz"));
    }

    void ownerOnlyBeforeThePasswordIsWritten_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("file readable by all") << true;
    }
    void ownerOnlyBeforeThePasswordIsWritten()
    {
        QFETCH(bool, existing);
        modeAtWrite = {};
        passwordWritten = false;
        const QSettings::Format probe = QSettings::registerFormat(QStringLiteral("probe"), probeRead, probeWrite);
        QSettings::setDefaultFormat(probe);
        const QString path = Settings::File().fileName();
        QFile::remove(path);
        if (existing) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner
                                                                           | QFile::ReadGroup | QFile::ReadOther));
        }
        ::umask(022);
        Settings::Room room;
        room.saslUser = QStringLiteral("bot");
        room.saslPassword = QStringLiteral("secret");
        QString error;
        const bool saved = Settings::save(room, &error);
        QSettings::setDefaultFormat(QSettings::NativeFormat);
        QVERIFY2(saved, qPrintable(error));
        QVERIFY(passwordWritten);
        QCOMPARE(modeAtWrite, QFile::ReadOwner | QFile::WriteOwner);
    }

    void profiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("letters and digits") << "red1" << true;
        QTest::newRow("dot, dash, underscore") << "a.b-c_d" << true;
        QTest::newRow("64 characters") << QString(64, QLatin1Char('x')) << true;
        QTest::newRow("65 characters") << QString(65, QLatin1Char('x')) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("out of the profiles' folder") << "../red" << false;
        QTest::newRow("starts with a dot") << ".red" << false;
        QTest::newRow("ends with a line break") << "red\n" << false;
    }
    void profiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(Settings::setIdentity(name), valid);
        const QString place = valid ? QStringLiteral("/NewtLiberty/profiles/") + name : QString();
        QCOMPARE(Settings::File().fileName(), config.path() + place + QStringLiteral("/NewtLiberty/QuizNewt.conf"));
        QCOMPARE(QCoreApplication::organizationName() + QCoreApplication::applicationName(), QStringLiteral("NewtLibertyQuizNewt"));
        QVERIFY(Settings::setIdentity());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
