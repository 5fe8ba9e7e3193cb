#include "app/quiznewt.h"
#include "app/singleinstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before anything is shown: a second start ends quietly.
    SingleInstance instance;
    if (!instance.acquire())
        return 0;

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        auto* window = new QuizNewt;
        window->show();
        exitCode = app.exec();
        // The window's shutdown needs the application still alive.
        delete window;
    }
    return exitCode;
}
