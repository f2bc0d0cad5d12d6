#include "streamed_file.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// How much is written before the disk is asked to start storing it.
constexpr qint64 WritebackStep = 1024 * 1024;
// Whole pages only: the page that the last step ends in is written to again.
constexpr qint64 PageAlignment = 64 * 1024;

#ifdef Q_OS_LINUX
// A disk that stays behind this long is waited for, should the system's
// page counts never catch up (a file system that keeps its pages dirty).
constexpr int PatienceMs = 1000;
// cachestat(2), Linux 6.5 on: how many pages of a range are cached, dirty,
// being written. The same number on every architecture.
constexpr long CachestatCall = 451;
struct CacheRange
{
    quint64 offset, length;
};
struct CacheStat
{
    quint64 cached, dirty, writeback, evicted, recentlyEvicted;
};
#endif

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
// written, without waiting; isBehind() tells the caller to hold the next bytes
// back while the steps before the last one are still on their way, and
// handOverRest() lets it wait for the rest alike: commit() finds little to write.
void StreamedFile::startWriteback()
{
#ifdef Q_OS_LINUX
    file.flush();
    ::sync_file_range(file.handle(), handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE);
#endif
    olderSteps = handedToDisk & ~(PageAlignment - 1);
    handedToDisk = written;
}

void StreamedFile::handOverRest()
{
    if (written > handedToDisk)
        startWriteback();
    olderSteps = written;
}

bool StreamedFile::isBehind()
{
    if (stored >= olderSteps)
        return false;
#ifdef Q_OS_LINUX
    // Asked without waiting where the system can tell, so that a slow disk
    // holds the transfer back rather than the window.
    CacheRange range {quint64(stored), quint64(olderSteps - stored)};
    CacheStat pages {};
    if (::syscall(CachestatCall, file.handle(), &range, &pages, 0) == 0 && pages.dirty + pages.writeback > 0) {
        // Writing back without waiting skips the pages that the file system
        // cannot take at once: those are asked for again.
        if (pages.dirty > 0)
            ::sync_file_range(file.handle(), stored, olderSteps - stored, SYNC_FILE_RANGE_WRITE);
        if (!behindFor.isValid())
            behindFor.start();
        if (!behindFor.hasExpired(PatienceMs))
            return true;
    }
    ::sync_file_range(file.handle(), stored, olderSteps - stored,
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
    behindFor.invalidate();
    stored = olderSteps;
    return false;
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
