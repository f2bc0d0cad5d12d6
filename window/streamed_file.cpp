#include "streamed_file.h"

#ifndef Q_OS_WIN
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/syscall.h>
#endif
#ifdef Q_OS_WIN
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <io.h>
#include <windows.h>
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

#ifdef Q_OS_WIN
// How long a target that is held open elsewhere may keep the file from its place.
constexpr int ReplaceRetryMs = 2000;

// The form of a path that is not limited to 260 characters.
QString longNativePath(const QString &path)
{
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return native.startsWith(QLatin1String("\\\\")) ? QLatin1String("\\\\?\\UNC\\") + native.mid(2)
                                                    : QLatin1String("\\\\?\\") + native;
}
#endif

#ifndef Q_OS_WIN
// A sync that the file system does not offer fails nothing.
bool succeeded(int syncResult)
{
    return syncResult == 0 || errno == EINVAL;
}
#endif

} // namespace

#ifdef Q_OS_WIN
StreamedFile::StreamedFile(const QString &path)
    : target(path)
{
}

StreamedFile::~StreamedFile()
{
    if (!placed && !file.fileName().isEmpty())
        file.remove();
}

bool StreamedFile::open()
{
    // QTemporaryFile only makes the name: its close() keeps the file open,
    // and an open file cannot be moved. Destroyed, it closes the file.
    {
        QTemporaryFile named(target + QLatin1String(".XXXXXX"));
        if (!named.open())
            return false;
        named.setAutoRemove(false);
        file.setFileName(named.fileName());
    }
    return file.open(QIODevice::WriteOnly);
}
#else
StreamedFile::StreamedFile(const QString &path)
    : file(path)
{
}

StreamedFile::~StreamedFile() = default;

bool StreamedFile::open()
{
    return file.open(QIODevice::WriteOnly);
}
#endif

bool StreamedFile::write(const QByteArray &bytes)
{
    if (failed)
        return false;
    if (bytes.isEmpty())
        return true;
    if (!file.isOpen() && !open()) {
        failed = true;
        return false;
    }
    if (file.write(bytes) != bytes.size())
        return fail();
    written += bytes.size();
    if (written - handedToDisk >= WritebackStep && !startWriteback())
        return fail();
    return true;
}

bool StreamedFile::fail()
{
    failed = true;
#ifndef Q_OS_WIN
    file.cancelWriting();
#endif
    return false;
}

// commit() waits until the whole file is on disk. Left to itself the system
// would keep a large file in memory and write all of it only then, freezing
// the window for as long. So each step is handed to the disk as soon as it is
// written, without waiting; isBehind() tells the caller to hold the next bytes
// back while the steps before the last one are still on their way, and
// handOverRest() lets it wait for the rest alike: commit() finds little to write.
bool StreamedFile::startWriteback()
{
#ifdef Q_OS_LINUX
    if (!file.flush()
        || ::sync_file_range(file.handle(), handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE) != 0)
        return false;
#endif
    olderSteps = handedToDisk & ~(PageAlignment - 1);
    handedToDisk = written;
    return true;
}

void StreamedFile::handOverRest()
{
    if (failed || (written > handedToDisk && !startWriteback())) {
        fail();
        return;
    }
    olderSteps = written;
}

bool StreamedFile::isBehind()
{
    if (failed || stored >= olderSteps)
        return false;
#ifdef Q_OS_LINUX
    // Asked without waiting where the system can tell, so that a slow disk
    // holds the transfer back rather than the window.
    CacheRange range {quint64(stored), quint64(olderSteps - stored)};
    CacheStat pages {};
    if (::syscall(CachestatCall, file.handle(), &range, &pages, 0) == 0 && pages.dirty + pages.writeback > 0) {
        // Writing back without waiting skips the pages that the file system
        // cannot take at once: those are asked for again.
        if (pages.dirty > 0 && ::sync_file_range(file.handle(), stored, olderSteps - stored, SYNC_FILE_RANGE_WRITE))
            return fail();
        if (!behindFor.isValid())
            behindFor.start();
        if (!behindFor.hasExpired(PatienceMs))
            return true;
    }
    // Here the window waits for the disk: without cachestat (Linux before
    // 6.5), or for a disk behind for longer than PatienceMs. At most the steps
    // before the last are left to write by then.
    if (::sync_file_range(file.handle(), stored, olderSteps - stored,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
        return fail();
#endif
    behindFor.invalidate();
    stored = olderSteps;
    return false;
}

bool StreamedFile::commit()
{
    if (failed || !file.isOpen())
        return false;
    if (!putInPlace()) {
        failed = true;
        return false;
    }
    return true;
}

#ifdef Q_OS_WIN
// An antivirus scanner opens a new executable as soon as it is closed, and an
// open installer holds its file: Windows then refuses, for a while, to replace
// the target (a sharing violation, or access denied). The replace is tried
// again with growing pauses for about two seconds, for those two errors only;
// the window waits meanwhile, which only a held file makes it do.
bool StreamedFile::putInPlace()
{
    // Written through, as QSaveFile does, so that a power cut cannot leave the new name on missing bytes.
    const bool stored = file.flush() && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
    file.close();
    if (!stored || file.error() != QFileDevice::NoError)
        return false;
    const QString from = longNativePath(file.fileName()), to = longNativePath(target);
    const QDeadlineTimer deadline(ReplaceRetryMs);
    for (int pause = 20;; pause = qMin(pause * 2, 320)) {
        if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            placed = true;
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || deadline.hasExpired())
            return false;
        QThread::msleep(pause);
    }
}
#else
// QSaveFile::commit() ignores a failed last flush and the result of its sync:
// a disk that fails in the last bytes would replace the earlier file with a
// cut one. Both are checked first, and after the rename the folder is synced
// too, so that a power cut cannot bring the old name back. The window waits for
// these syncs: the steps handed to the disk before leave them little to do.
bool StreamedFile::putInPlace()
{
    if (!file.flush() || !succeeded(::fdatasync(file.handle()))) {
        fail();
        file.commit(); // removes the temporary file
        return false;
    }
    const QString folder = QFileInfo(file.fileName()).absolutePath();
    if (!file.commit())
        return false;
    const int handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool folderSynced = handle >= 0 && succeeded(::fsync(handle));
    if (handle >= 0)
        ::close(handle);
    return folderSynced;
}
#endif

qint64 StreamedFile::bytesWritten() const
{
    return written;
}

bool StreamedFile::hasFailed() const
{
    return failed;
}
