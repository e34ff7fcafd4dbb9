#ifndef TEVRANO_FILESYNC_H
#define TEVRANO_FILESYNC_H

#include <QIODevice>

class QFile;
class QFileDevice;
class QString;

// Makes what was written to the open `file` durable: its data reaches the
// disk, not only the operating system's cache. False when the system refuses.
bool syncFileData(QFileDevice &file);

// Opens `file` (its name set) only when it is a regular file: a FIFO, a device or a directory is
// refused at once instead of being waited on. False, with the reason in `error` when non-null.
bool openRegularFile(QFile &file, QIODevice::OpenMode mode, QString *error = nullptr);

#endif // TEVRANO_FILESYNC_H
