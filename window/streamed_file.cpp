#include "streamed_file.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace {

// How much is written before the disk is asked to start storing it. Waiting
// for a step blocks the window for up to a step's time on the disk: 1 MiB
// takes 20 ms on a 50 MB/s hard disk or USB stick.
constexpr qint64 WritebackStep = 1024 * 1024;

} // namespace

StreamedFile::StreamedFile(const QString &path)
    : file(path)
{
}

bool StreamedFile::write(const QByteArray &bytes)
{
    if (failed)
        return false;
    if (bytes.isEmpty())
        return true;
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) {
        failed = true;
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        failed = true;
        file.cancelWriting();
        return false;
    }
    written += bytes.size();
    if (written - handedToDisk >= WritebackStep)
        startWriteback();
    return true;
}

// commit() waits until the whole file is on disk. Left to itself the system
// would keep a large file in memory and write all of it only then, freezing
// the window for as long. So each step is handed to the disk as soon as it is
// written, and the steps before it are waited for: the disk works while the
// bytes arrive, at most two steps wait in memory when it is slower than the
// network, and commit() flushes those two only.
void StreamedFile::startWriteback()
{
#ifdef Q_OS_LINUX
    file.flush();
    const int fd = file.handle();
    ::sync_file_range(fd, handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE);
    if (handedToDisk > 0) // a length of 0 would mean the whole file
        ::sync_file_range(fd, 0, handedToDisk,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
    handedToDisk = written;
}

bool StreamedFile::commit()
{
    if (failed || !file.isOpen())
        return false;
    if (!file.commit()) {
        failed = true;
        return false;
    }
    return true;
}

qint64 StreamedFile::bytesWritten() const
{
    return written;
}

bool StreamedFile::hasFailed() const
{
    return failed;
}
