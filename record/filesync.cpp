#include "filesync.h"

#include <QFileDevice>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
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
