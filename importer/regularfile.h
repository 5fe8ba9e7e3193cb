#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <QFile>
#include <QString>

// Import sources are regular files. A FIFO would block the open or the read
// until someone writes to it, and a device such as /dev/zero never ends while
// its size reads 0, so anything else is refused before it is read.
namespace RegularFile {

// Why path is no regular file ("a named pipe (FIFO), not a regular file"),
// or an empty string; a path that does not exist is left to the open.
QString problem(const QString& path);

// Opens path for reading if it is a regular file, never waiting on a FIFO
// that appears in its place meanwhile; *size is its size at the open, which
// is all a reader should take from it. False with *error set otherwise.
bool open(const QString& path, QFile* file, qint64* size, QString* error);

}

#endif
