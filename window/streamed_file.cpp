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
#include "mark_of_the_web.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QThreadPool>

#include <atomic>
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
// How long a target that is held open elsewhere may keep the file from its place,
// and the first and the longest pause between two tries.
constexpr int ReplaceRetryMs = 2000;
constexpr int FirstRetryPauseMs = 20;
constexpr int LongestRetryPauseMs = 320;
// How long commit() waits between two looks, for a file saved at once.
constexpr int CommitPollMs = 5;

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
// What a call made off the window's thread leaves for the window's thread.
struct StreamedFile::Job
{
    std::atomic<bool> done {false};
    bool succeeded = false;
};

// Runs `call` on a thread of Qt's pool. It owns all it uses (a handle of its
// own, the paths), as it may outlive the file that asked for it.
std::shared_ptr<StreamedFile::Job> StreamedFile::inBackground(const std::function<bool()> &call)
{
    auto job = std::make_shared<Job>();
    QThreadPool::globalInstance()->start([job, call] {
        job->succeeded = call();
        job->done.store(true, std::memory_order_release);
    });
    return job;
}

StreamedFile::StreamedFile(const QString &path)
    : target(path)
{
}

StreamedFile::~StreamedFile()
{
    if (placed || temporary.isEmpty())
        return;
    // Shared for deleting: a flush still under way holds the file until it ends.
    file.close();
    QFile::remove(temporary);
    MarkOfTheWeb::follow(temporary, QString());
}

// Made and written through one handle: a scanner that opens each new file as
// it is closed cannot keep it from being opened again. Shared for reading, as
// a scanner reads, and for deleting, as a scanner may remove it.
bool StreamedFile::open()
{
    // A link without a file name, or one naming a folder, has nothing to replace.
    if (QFileInfo(target).isDir())
        return false;
    for (int tries = 0; tries < 8; ++tries) {
        const QString name = target + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 36);
        const QString native = longNativePath(name);
        const HANDLE handle
                = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
            continue;
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        temporary = name;
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
        if (descriptor >= 0 && file.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
            return true;
        descriptor < 0 ? CloseHandle(handle) : _close(descriptor);
        return false;
    }
    return false;
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

void StreamedFile::handOverRest(const QUrl &origin)
{
    if (failed || (written > handedToDisk && !startWriteback())) {
        fail();
        return;
    }
    olderSteps = written;
#ifdef Q_OS_WIN
    source = origin;
    lastBytesIn = true;
#else
    Q_UNUSED(origin)
#endif
}

#ifndef Q_OS_WIN
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
#endif

#ifdef Q_OS_WIN
// Windows has no call that starts writing a range to disk without waiting for
// it: a thread of Qt's pool flushes the file while the transfer goes on, which
// is held back only while the steps before the last one are still on their
// way. Once every byte is in, that thread also closes the file and has it
// tagged and scanned, and the window's thread then puts it in place: nothing
// here waits for the disk or the scanner.
bool StreamedFile::isBehind()
{
    if (job && !job->done.load(std::memory_order_acquire))
        return lastBytesIn || stored < olderSteps;
    if (job) {
        failed = failed || !job->succeeded;
        stored = jobCovers;
        job.reset();
    }
    if (!failed && (stored < handedToDisk || (lastBytesIn && file.isOpen()))) {
        flushInBackground();
        return lastBytesIn || stored < olderSteps;
    }
    return !failed && lastBytesIn && !tryToPlace();
}

// The flush goes through a handle of its own. The last one also closes the
// file, whose last handle is then that one: the close, where a scanner may
// read the whole file, happens off the window's thread too. Then the file is
// tagged under its own name, so that the tag moves with it and the saved file
// is never untagged; the tag runs the antivirus and the zone policy, which may
// remove the file.
void StreamedFile::flushInBackground()
{
    const HANDLE own = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    HANDLE copy = nullptr;
    if (!file.flush()
        || !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        failed = true;
        return;
    }
    jobCovers = written;
    if (lastBytesIn)
        file.close();
    const bool closed = file.error() == QFileDevice::NoError, last = lastBytesIn;
    const QString path = temporary, name = QFileInfo(target).fileName();
    const QUrl from = source;
    job = inBackground([=] {
        const bool flushed = FlushFileBuffers(copy);
        CloseHandle(copy);
        return flushed && closed && (!last || from.isEmpty() || MarkOfTheWeb::tag(path, name, from));
    });
}

// An antivirus scanner opens a new executable as soon as it is closed, and an
// open installer holds its file: Windows then refuses, for a while, to replace
// the target (a sharing violation, or access denied). The replace is tried
// again with growing pauses for about two seconds, for those two errors only,
// the last pause no longer than the time left; the window goes on meanwhile.
// False while a try is still to come.
bool StreamedFile::tryToPlace()
{
    if (!nextTry.hasExpired())
        return false;
    if (replaceDeadline.isForever()) {
        replaceDeadline.setRemainingTime(ReplaceRetryMs);
        retryPause = FirstRetryPauseMs;
    }
    const QString from = longNativePath(temporary), to = longNativePath(target);
    // Written through, as QSaveFile does, so that a power cut cannot leave the new name on missing bytes.
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        placed = true;
        MarkOfTheWeb::follow(temporary, target);
        return true;
    }
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || replaceDeadline.hasExpired()) {
        failed = true;
        return true;
    }
    nextTry.setRemainingTime(qMin<qint64>(retryPause, replaceDeadline.remainingTime()));
    retryPause = qMin(retryPause * 2, LongestRetryPauseMs);
    return false;
}

// A transfer has settled before it is committed; a file saved at once waits here.
bool StreamedFile::commit()
{
    if (failed || temporary.isEmpty())
        return false;
    if (!lastBytesIn)
        handOverRest();
    while (isBehind())
        QThread::msleep(CommitPollMs);
    return placed;
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
