#ifndef TEVRANO_FILESYNC_H
#define TEVRANO_FILESYNC_H

class QFileDevice;

// Makes what was written to the open `file` durable: its data reaches the
// disk, not only the operating system's cache. False when the system refuses.
bool syncFileData(QFileDevice &file);

#endif // TEVRANO_FILESYNC_H
