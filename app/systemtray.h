#ifndef SYSTEMTRAY_H
#define SYSTEMTRAY_H

// Whether a system tray is there to hold the program's icon. Qt reports a
// tray icon as visible even where no tray exists, so closing to the tray
// asks here rather than trusting the icon.
namespace SystemTray {

bool isAvailable();

// Tests: pretend a tray is (true) or is not (false) available.
void setAvailableForTesting(bool available);
// Tests: ask the platform again.
void clearTestingOverride();

}

#endif
