#include "app/systemtray.h"

#include <QSystemTrayIcon>

namespace {
enum class Override { None, Available, Unavailable };
Override testOverride = Override::None;
}

namespace SystemTray {

bool isAvailable()
{
    switch (testOverride) {
    case Override::Available:
        return true;
    case Override::Unavailable:
        return false;
    case Override::None:
        break;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void setAvailableForTesting(bool available)
{
    testOverride = available ? Override::Available : Override::Unavailable;
}

void clearTestingOverride()
{
    testOverride = Override::None;
}

}
