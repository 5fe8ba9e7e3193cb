// quiznewt-setup: what an installer does. Creates the database with the
// schema and the starter questions, and writes the settings QuizNewt reads.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include "db/database.h"
#include "settings/settings.h"

static int fail(const QString& message)
{
    QTextStream(stderr) << "quiznewt-setup: " << message << Qt::endl;
    return 1;
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);

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
    const QCommandLineOption rejoinAfterKick(QStringLiteral("rejoin-after-kick"),
        QStringLiteral("Seconds before going back into the room after a kick (0: never; default 30)."),
        QStringLiteral("seconds"));
    const QCommandLineOption greetOnRejoin(QStringLiteral("greet-on-rejoin"),
        QStringLiteral("Greet the room again when QuizNewt returns after a lost connection or a kick."));
    const QCommandLineOption noGreetOnRejoin(QStringLiteral("no-greet-on-rejoin"),
        QStringLiteral("Greet the room only when Connect is clicked or at start-up."));
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
                       autoConnect, noAutoConnect, rejoinAfterKick, greetOnRejoin, noGreetOnRejoin, profile, dbServer, dbPort, dbPath, dbUser, dbPassword, backup,
                       restore});
    parser.process(app);

    if (!Settings::setIdentity(parser.isSet(profile) ? std::optional<QString>(parser.value(profile)) : std::nullopt))
        return fail(QStringLiteral("a profile name is 1 to 64 letters, digits, '-', '_' or '.'."));
    if (parser.isSet(tls) && parser.isSet(noTls))
        return fail(QStringLiteral("--tls and --no-tls exclude each other."));
    if (parser.isSet(autoConnect) && parser.isSet(noAutoConnect))
        return fail(QStringLiteral("--auto-connect and --no-auto-connect exclude each other."));
    if (parser.isSet(greetOnRejoin) && parser.isSet(noGreetOnRejoin))
        return fail(QStringLiteral("--greet-on-rejoin and --no-greet-on-rejoin exclude each other."));

    // Each option gives the setting of its name, checked as a value in the
    // file is, so a bad one is named the same way.
    const auto given = [&parser](std::initializer_list<std::pair<const QCommandLineOption*, const char*>> options) {
        QVariantMap values;
        for (const auto& [option, key] : options) {
            if (parser.isSet(*option))
                values.insert(QLatin1String(key), parser.value(*option));
        }
        return values;
    };
    const QVariantMap databaseGiven = given(
        {{&dbServer, "Server"}, {&dbPort, "Port"}, {&dbPath, "Path"}, {&dbUser, "User"}, {&dbPassword, "Password"}});
    QVariantMap roomGiven = given({{&server, "Server"}, {&port, "Port"}, {&serverPassword, "Password"}, {&nick, "Nick"},
                                   {&channel, "Channel"}, {&saslUser, "SaslUser"}, {&saslPassword, "SaslPassword"},
                                   {&rejoinAfterKick, "RejoinAfterKick"}});
    if (parser.isSet(tls) || parser.isSet(noTls))
        roomGiven.insert(QStringLiteral("Tls"), parser.isSet(tls));
    if (parser.isSet(autoConnect) || parser.isSet(noAutoConnect))
        roomGiven.insert(QStringLiteral("AutoConnect"), parser.isSet(autoConnect));
    if (parser.isSet(greetOnRejoin) || parser.isSet(noGreetOnRejoin))
        roomGiven.insert(QStringLiteral("GreetOnRejoin"), parser.isSet(greetOnRejoin));

    // A new server starts from the defaults, not from the old server's port
    // and login. A wrong setting is named before the database is used or the
    // group written back.
    Settings::Problems databaseProblems;
    const Settings::Database database = parser.isSet(dbServer)
        ? Settings::parse<Settings::Database>(databaseGiven, &databaseProblems)
        : Settings::load<Settings::Database>(&databaseProblems, databaseGiven);
    const bool usesDatabase = parser.isSet(backup) || parser.isSet(restore) || !parser.isSet(settingsOnly);
    if (!databaseProblems.isEmpty() && (usesDatabase || !databaseGiven.isEmpty()))
        return fail(databaseProblems.first());
    Settings::Problems roomProblems;
    const Settings::Room room = Settings::load<Settings::Room>(&roomProblems, roomGiven);
    if (!roomProblems.isEmpty() && !roomGiven.isEmpty())
        return fail(roomProblems.first());
    if (!roomGiven.isEmpty() && room.saslInClear())
        QTextStream(stderr) << "Warning: without TLS the SASL password goes over the network in clear." << Qt::endl;

    if (parser.isSet(backup)) {
        Settings::Problems installProblems;
        const Settings::Install installed = Settings::load<Settings::Install>(&installProblems);
        const Database::Location location = Database::locationFrom(installed, database);
        if (!location.isServer() && !installProblems.isEmpty())
            return fail(installProblems.first());
        if (!location.problem.isEmpty())
            return fail(QStringLiteral("no database: %1.").arg(location.problem));
        QString error;
        if (!Database::backup(location, parser.value(backup), &error))
            return fail(error);
        QTextStream(stdout) << "Backed up " << location.connectString() << " to " << parser.value(backup) << Qt::endl;
        return 0;
    }

    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("give exactly one install directory (see --help)."));
    const Settings::Install install{QDir(parser.positionalArguments().first()).absolutePath()};
    const QString& dir = install.installDir;

    if (parser.isSet(restore)) {
        const Database::Location location = Database::locationFrom(install, database);
        if (!location.isServer() && !QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create the directory %1.").arg(dir));
        QString error;
        if (!Database::restore(parser.value(restore), location, &error))
            return fail(error);
        QTextStream(stdout) << "Restored " << parser.value(restore) << " into " << location.connectString() << Qt::endl;
        return 0;
    }

    if (!parser.isSet(settingsOnly)) {
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create the directory %1.").arg(dir));
        // Without --db-server the file in DIR, whatever server the settings name.
        const Database::Location location
            = Database::locationFrom(install, parser.isSet(dbServer) ? database : Settings::Database());
        QString error;
        const int stored = Database::createWithStarterQuestions(location, &error);
        if (stored < 0)
            return fail(error);
        QTextStream(stdout) << "Created " << location.connectString() << " with " << stored << " starter questions."
                            << Qt::endl;
    }

    // An empty --db-server goes back to the embedded file.
    QString error;
    const bool saved = Settings::save(install, &error)
        && (databaseGiven.isEmpty()
            || (database.isServer() ? Settings::save(database, &error) : Settings::reset<Settings::Database>(&error)))
        && (roomGiven.isEmpty() || Settings::save(room, &error));
    if (!saved)
        return fail(error);
    QTextStream(stdout) << "Settings written to " << Settings::File().fileName() << Qt::endl;
    return 0;
}
