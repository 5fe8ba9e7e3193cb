#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

#include "app/stopsignals.h"
#include "db/database.h"
#include "settings/settings.h"
#include "web/listenaddress.h"
#include "web/webserver.h"

int main(int argc, char* argv[])
{
    StopSignals::blockInAllThreads();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIZNEWT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves the scores, the rooms now playing and the question health of QuizNewt's database as "
                       "web pages and JSON (see man quiznewt-web). It only reads the database."));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Listen on ADDR:PORT (default 127.0.0.1:8080; [::1]:8080 for IPv6)."),
                                    QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8080"));
    const QCommandLineOption profile(QStringLiteral("profile"),
                                     QStringLiteral("Use the database of profile NAME's settings."),
                                     QStringLiteral("NAME"));
    parser.addOptions({listen, profile});
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const Web::ListenAddress address = Web::parseListenAddress(parser.value(listen));
    if (!address.valid) {
        std::fprintf(stderr, "quiznewt-web: --listen wants ADDR:PORT, such as 127.0.0.1:8080\n");
        return 2;
    }
    if (!Settings::setIdentity(parser.isSet(profile) ? std::optional<QString>(parser.value(profile)) : std::nullopt)) {
        std::fprintf(stderr, "quiznewt-web: a profile name is 1 to 64 letters, digits, '-', '_' or '.'\n");
        return 2;
    }

    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [](int signal) {
        qInfo("quiznewt-web: stopping on signal %d.", signal);
        QCoreApplication::exit(0);
    });

    // The settings are read again at each try, so a database set up after
    // the start is found without a restart.
    Web::WebServer server([] {
        return Database::locationFrom(Settings::load<Settings::Install>(), Settings::load<Settings::Database>());
    });
    QString error;
    if (!server.start(address.host, address.port, &error)) {
        std::fprintf(stderr, "quiznewt-web: %s\n", qPrintable(error));
        return 1;
    }
    qInfo("quiznewt-web: serving on http://%s/", qPrintable(parser.value(listen)));
    return app.exec();
}
