// quiznewt-setup: what an installer does. Creates the database with the
// schema and the starter questions, and writes the settings QuizNewt reads.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QTextStream>

#include "db/database.h"

static int fail(const QString& message)
{
    QTextStream(stderr) << "quiznewt-setup: " << message << Qt::endl;
    return 1;
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("NewtLiberty"));
    QCoreApplication::setApplicationName(QStringLiteral("QuizNewt"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates DIR/quiznewt.fdb with the starter questions and makes DIR QuizNewt's install directory."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The install directory."));
    const QCommandLineOption settingsOnly(QStringLiteral("settings-only"),
        QStringLiteral("Only write the settings; leave the database alone."));
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("IRC server host."), QStringLiteral("host"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("IRC server port."), QStringLiteral("port"));
    const QCommandLineOption tls(QStringLiteral("tls"), QStringLiteral("Connect with TLS."));
    const QCommandLineOption noTls(QStringLiteral("no-tls"), QStringLiteral("Connect without TLS."));
    const QCommandLineOption serverPassword(QStringLiteral("server-password"),
        QStringLiteral("IRC server password."), QStringLiteral("password"));
    const QCommandLineOption nick(QStringLiteral("nick"), QStringLiteral("QuizNewt's nick name."), QStringLiteral("nick"));
    const QCommandLineOption channel(QStringLiteral("channel"), QStringLiteral("The channel to host."), QStringLiteral("channel"));
    const QCommandLineOption saslUser(QStringLiteral("sasl-user"),
        QStringLiteral("Account to log in with SASL before joining (empty: no SASL)."), QStringLiteral("account"));
    const QCommandLineOption saslPassword(QStringLiteral("sasl-password"),
        QStringLiteral("Password of the SASL account."), QStringLiteral("password"));
    const QCommandLineOption autoConnect(QStringLiteral("auto-connect"),
        QStringLiteral("Join the room at start-up, without a click on Connect."));
    const QCommandLineOption noAutoConnect(QStringLiteral("no-auto-connect"),
        QStringLiteral("Join the room only when Connect is clicked."));
    const QCommandLineOption profile(QStringLiteral("profile"),
        QStringLiteral("Write the settings of this profile (one room) instead of the default ones."),
        QStringLiteral("name"));
    const QCommandLineOption dbServer(QStringLiteral("db-server"),
        QStringLiteral("Firebird server host to create and keep the database on (empty: the file in DIR)."),
        QStringLiteral("host"));
    const QCommandLineOption dbPort(QStringLiteral("db-port"), QStringLiteral("Firebird server port (3050)."),
        QStringLiteral("port"));
    const QCommandLineOption dbPath(QStringLiteral("db-path"), QStringLiteral("The database's path on the server."),
        QStringLiteral("path"));
    const QCommandLineOption dbUser(QStringLiteral("db-user"), QStringLiteral("Firebird user name."),
        QStringLiteral("user"));
    const QCommandLineOption dbPassword(QStringLiteral("db-password"), QStringLiteral("Firebird password."),
        QStringLiteral("password"));
    const QCommandLineOption backup(QStringLiteral("backup"),
        QStringLiteral("Write a backup of the configured database, even while QuizNewt runs, and exit."),
        QStringLiteral("file"));
    const QCommandLineOption restore(QStringLiteral("restore"),
        QStringLiteral("Restore a backup into a new DIR/quiznewt.fdb (or --db-path on --db-server) and exit."),
        QStringLiteral("file"));
    parser.addOptions({settingsOnly, server, port, tls, noTls, serverPassword, nick, channel, saslUser, saslPassword,
                       autoConnect, noAutoConnect, profile, dbServer, dbPort, dbPath, dbUser, dbPassword, backup,
                       restore});
    parser.process(app);

    if (parser.isSet(profile) && !Database::useProfile(parser.value(profile)))
        return fail(QStringLiteral("a profile name is 1 to 64 letters, digits, '-', '_' or '.'."));

    // The settings' database, with what the options change.
    Database::Location location = Database::locationFromSettings(QSettings());
    const bool toServer = parser.isSet(dbServer) && !parser.value(dbServer).trimmed().isEmpty();
    if (parser.isSet(dbServer))
        location = Database::Location{parser.value(dbServer).trimmed(), 3050, {}, Database::userName,
                                      Database::password};
    if (parser.isSet(dbPort)) {
        bool ok = false;
        location.port = parser.value(dbPort).toInt(&ok);
        if (!ok || location.port < 1 || location.port > 65535)
            return fail(QStringLiteral("--db-port takes a number from 1 to 65535."));
    }
    if (parser.isSet(dbPath))
        location.path = parser.value(dbPath);
    if (parser.isSet(dbUser))
        location.user = parser.value(dbUser);
    if (parser.isSet(dbPassword))
        location.password = parser.value(dbPassword);
    if (toServer && location.path.isEmpty())
        return fail(QStringLiteral("--db-server needs --db-path, the database's path on the server."));

    if (parser.isSet(backup)) {
        if (!location.isServer() && !QSettings().contains(QStringLiteral("InstallDir")))
            return fail(QStringLiteral("no database: the InstallDir setting is not set."));
        QString error;
        const bool ok = Database::backup(location, parser.value(backup), &error);
        if (!ok)
            return fail(error);
        QTextStream(stdout) << "Backed up " << location.connectString() << " to " << parser.value(backup) << Qt::endl;
        return 0;
    }

    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("give exactly one install directory (see --help)."));
    const QString dir = QDir(parser.positionalArguments().first()).absolutePath();

    if (parser.isSet(restore)) {
        if (!location.isServer()) {
            if (!QDir().mkpath(dir))
                return fail(QStringLiteral("cannot create the directory %1.").arg(dir));
            location.path = dir + QLatin1Char('/') + Database::fileName;
        }
        QString error;
        const bool ok = Database::restore(parser.value(restore), location, &error);
        if (!ok)
            return fail(error);
        QTextStream(stdout) << "Restored " << parser.value(restore) << " into " << location.connectString() << Qt::endl;
        return 0;
    }

    if (parser.isSet(port)) {
        bool ok = false;
        const int value = parser.value(port).toInt(&ok);
        if (!ok || value < 1 || value > 65535)
            return fail(QStringLiteral("--port takes a number from 1 to 65535."));
    }
    if (parser.isSet(tls) && parser.isSet(noTls))
        return fail(QStringLiteral("--tls and --no-tls exclude each other."));
    if (parser.isSet(autoConnect) && parser.isSet(noAutoConnect))
        return fail(QStringLiteral("--auto-connect and --no-auto-connect exclude each other."));

    if (!parser.isSet(settingsOnly)) {
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create the directory %1.").arg(dir));
        if (!toServer)
            location = Database::Location{{}, 3050, dir + QLatin1Char('/') + Database::fileName, Database::userName,
                                          Database::password};
        const QString file = location.connectString();
        QString error;
        const int stored = Database::createWithStarterQuestions(location, &error);
        if (stored < 0)
            return fail(error);
        QTextStream(stdout) << "Created " << file << " with " << stored << " starter questions." << Qt::endl;
    }

    QSettings settings;
    settings.setValue(QStringLiteral("InstallDir"), dir);
    if (parser.isSet(dbServer)) {
        // An empty --db-server goes back to the embedded file.
        settings.remove(QStringLiteral("Database"));
        if (toServer) {
            settings.beginGroup(QStringLiteral("Database"));
            settings.setValue(QStringLiteral("Server"), location.server);
            settings.setValue(QStringLiteral("Port"), location.port);
            settings.setValue(QStringLiteral("Path"), location.path);
            settings.setValue(QStringLiteral("User"), location.user);
            settings.setValue(QStringLiteral("Password"), location.password);
            settings.endGroup();
        }
    }
    settings.beginGroup(QStringLiteral("Room"));
    if (parser.isSet(server))
        settings.setValue(QStringLiteral("Server"), parser.value(server));
    if (parser.isSet(port))
        settings.setValue(QStringLiteral("Port"), parser.value(port).toInt());
    if (parser.isSet(tls) || parser.isSet(noTls))
        settings.setValue(QStringLiteral("Tls"), parser.isSet(tls));
    if (parser.isSet(serverPassword))
        settings.setValue(QStringLiteral("Password"), parser.value(serverPassword));
    if (parser.isSet(nick))
        settings.setValue(QStringLiteral("Nick"), parser.value(nick));
    if (parser.isSet(channel))
        settings.setValue(QStringLiteral("Channel"), parser.value(channel));
    if (parser.isSet(saslUser))
        settings.setValue(QStringLiteral("SaslUser"), parser.value(saslUser));
    if (parser.isSet(saslPassword))
        settings.setValue(QStringLiteral("SaslPassword"), parser.value(saslPassword));
    if (parser.isSet(autoConnect) || parser.isSet(noAutoConnect))
        settings.setValue(QStringLiteral("AutoConnect"), parser.isSet(autoConnect));
    settings.endGroup();
    settings.sync();
    // The file may hold passwords: only its owner reads it.
    QFile::setPermissions(settings.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("cannot write the settings file %1.").arg(settings.fileName()));
    QTextStream(stdout) << "Settings written to " << settings.fileName() << Qt::endl;
    return 0;
}
