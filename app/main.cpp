#include "app/quiznewt.h"
#include "app/singleinstance.h"
#include "app/stopsignals.h"
#include "gui/log.h"
#include "settings/settings.h"

#include <QApplication>

#include <cstdio>

// "--profile NAME" or "--profile=NAME"; *given says whether it was there.
static QString profileArgument(int argc, char* argv[], bool* given)
{
    QString profile;
    *given = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--profile") {
            *given = true;
            profile = i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString();
        } else if (argument.startsWith("--profile=")) {
            *given = true;
            profile = QString::fromLocal8Bit(argument.mid(10));
        }
    }
    return profile;
}

static bool hasArgument(int argc, char* argv[], const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], wanted) == 0)
            return true;
    }
    return false;
}

int main(int argc, char* argv[])
{
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        std::printf("Usage: quiznewt [--profile NAME] [--no-window]\n"
                    "Hosts a trivia quiz in an IRC channel (see man quiznewt).\n\n"
                    "  --profile NAME  use the settings of profile NAME: one room each\n"
                    "  --no-window     run with no display and no tray; boxes go to the log\n"
                    "  --help          show this text\n");
        return 0;
    }
    StopSignals::blockInAllThreads();
    Log::install();

    // A bot on a server: no display, nothing that waits for a click.
    const bool noWindow = hasArgument(argc, argv, "--no-window");
    if (noWindow) {
        Log::setNoWindow(true);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // One room per profile: its own settings file and its own lock.
    bool profileGiven = false;
    const QString profile = profileArgument(argc, argv, &profileGiven);
    if (!Settings::setIdentity(profileGiven ? std::optional<QString>(profile) : std::nullopt)) {
        std::fprintf(stderr, "quiznewt: a profile name is 1 to 64 letters, digits, '-', '_' or '.'\n");
        return 2;
    }

    // Before anything is shown: a second start ends quietly.
    SingleInstance instance(SingleInstance::defaultLockPath(profile));
    if (!instance.acquire()) {
        if (noWindow)
            qInfo("QuizNewt already runs with these settings; this one ends.");
        return 0;
    }

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        // A stop signal ends the program as Exit in the tray menu does.
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [](int signal) {
            qInfo("Stopping on signal %d.", signal);
            QCoreApplication::exit(0);
        });
        auto* window = new QuizNewt;
        if (stopSignals.requested()) {
            // Stopped while start-up waited for the database.
            delete window;
            return 0;
        }
        if (noWindow && !window->hasDatabase()) {
            // The reason is logged already; a service manager must see the failure.
            qCritical("QuizNewt cannot run without its database.");
            delete window;
            return 1;
        }
        if (!noWindow) {
            window->show();
        } else if (Settings::Problems problems; Settings::load<Settings::Room>(&problems).autoConnect) {
            qInfo("QuizNewt runs without a window.");
        } else {
            // No Connect will come to name them.
            for (const QString& problem : std::as_const(problems))
                qWarning("%s", qPrintable(problem));
            qWarning("Room/AutoConnect is off: without a window nothing brings QuizNewt into the room.");
        }
        exitCode = app.exec();
        // The window's shutdown needs the application still alive.
        delete window;
    }
    return exitCode;
}
