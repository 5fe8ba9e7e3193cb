#include "gui/systemtray.h"

#include <QSystemTrayIcon>

namespace {
bool testMode = false;
bool testAvailable = true;
}

namespace SystemTray {

bool isAvailable()
{
    return testMode ? testAvailable : QSystemTrayIcon::isSystemTrayAvailable();
}

void setTestMode(bool on, bool available)
{
    testMode = on;
    testAvailable = available;
}

}
