#ifndef SYSTEMTRAY_H
#define SYSTEMTRAY_H

// Whether a system tray is there to hold the program's icon. Qt reports a
// tray icon as visible even where no tray exists, so closing to the tray
// asks here rather than trusting the icon.
namespace SystemTray {

bool isAvailable();

// Tests: while on, the platform is not asked and `available` is the answer.
void setTestMode(bool on, bool available = true);

}

#endif
