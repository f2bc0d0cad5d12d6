#include "streamed_file.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace {

// How much is written before the disk is asked to start storing it.
constexpr qint64 WritebackStep = 8 * 1024 * 1024;

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
// the window for as long; started as the bytes arrive, the writing overlaps
// the transfer and commit() waits for the last piece only. The call starts
// the writing and does not wait for it.
void StreamedFile::startWriteback()
{
#ifdef Q_OS_LINUX
    ::sync_file_range(file.handle(), handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE);
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
