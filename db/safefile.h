#ifndef SAFEFILE_H
#define SAFEFILE_H

#include <QString>

// Files that appear whole or not at all: written under a temporary name in
// the target's own folder, then renamed into place. A crash leaves the
// target as it was and at most a temporary file, which the next call for
// the same target removes.
namespace SafeFile {

// A fresh temporary name beside target, after removing the ones that
// processes no longer running left there.
QString temporaryFor(const QString& target);

// Moves the finished file into place. Never replaces: false, with *error
// set and the temporary file removed, when target exists by now.
bool moveIntoPlace(const QString& temporary, const QString& target, QString* error);

// Moves the finished file into place over an older one, in one step.
bool replace(const QString& temporary, const QString& target, QString* error);

}

#endif
