#include "filesync.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool syncFileData(QFileDevice &file)
{
    if (!file.flush())
        return false;
    const int descriptor = file.handle();
    if (descriptor < 0)
        return false;
#if defined(Q_OS_WIN)
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
#else
    for (;;) {
#if defined(Q_OS_DARWIN)
        const int result = ::fsync(descriptor); // no fdatasync there
#else
        const int result = ::fdatasync(descriptor);
#endif
        if (result == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
#endif
}

bool openRegularFile(QFile &file, QIODevice::OpenMode mode, QString *error)
{
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file.fileName(), why);
        return false;
    };
    const QString notRegular = QStringLiteral("not a regular file");
#if defined(Q_OS_WIN)
    // Windows has no FIFOs in the file system; a directory or a device name is refused.
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile())
        return refuse(notRegular);
    return file.open(mode) || refuse(file.errorString());
#else
    int flags = O_CLOEXEC | O_NONBLOCK;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR | O_CREAT;
    else if (mode & QIODevice::WriteOnly)
        flags |= O_WRONLY | O_CREAT;
    else
        flags |= O_RDONLY;
    if (mode & QIODevice::Truncate)
        flags |= O_TRUNC;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    int descriptor = -1;
    do
        descriptor = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return refuse(notRegular);
    }
    // Regular files never block; the rest of the program expects ordinary writes.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(descriptor, mode, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return refuse(file.errorString());
    }
    return true;
#endif
}
