// One download through the real window, timed the way a user would feel it:
// the version is chosen in its combo box, btnDownload is clicked, and the
// clock stops when the completion box appears; the box is then closed with
// its OK button. Meanwhile a 10 ms timer records how late the event loop
// serves it, which is how late the window would answer the user.
//
// The catalogue and the file come from wherever the program's own settings
// lead (the http_proxy variable of the environment; on Windows the system
// proxy); the home folder decides where the file lands. Prints one line of
// key=value figures and exits 0 when the file arrived whole, 1 otherwise.
//
//   tovik_bench_driver --version NAME --size BYTES [--timeout SECONDS]

#include "tovik_all_in_one.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr qint64 TickNs = 10 * 1000 * 1000;
constexpr int PollMs = 20;
constexpr int CatalogueWaitMs = 15000;

// A 10 ms single-shot timer, re-armed at each timeout: each sample is how
// late one wait was served, whatever happened to the ones before it.
class LatenessProbe
{
public:
    explicit LatenessProbe(const QElapsedTimer &clock)
        : clock(clock)
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            sample(true);
            arm();
        });
    }

    void start()
    {
        recording = true;
        arm();
    }

    // A wait that is still pending counts as late by what it has waited
    // beyond its due time: a freeze just before the end is not lost.
    void stop()
    {
        sample(false);
        recording = false;
        timer.stop();
    }

    double percentileMs(double fraction) const
    {
        if (samplesMs.empty())
            return 0;
        std::vector<double> sorted = samplesMs;
        std::sort(sorted.begin(), sorted.end());
        const auto last = sorted.size() - 1;
        return sorted[std::min(last, size_t(fraction * double(last) + 0.5))];
    }

    // The worst of the samples served from `fromNs` on (the commit), or before it (the transfer).
    double maxMs(qint64 fromNs, bool after) const
    {
        double worst = 0;
        for (size_t i = 0; i < samplesMs.size(); ++i) {
            if ((servedAtNs[i] >= fromNs) == after)
                worst = std::max(worst, samplesMs[i]);
        }
        return worst;
    }

    size_t count() const { return samplesMs.size(); }

private:
    void arm()
    {
        dueNs = clock.nsecsElapsed() + TickNs;
        timer.start(int(TickNs / 1000000));
    }

    void sample(bool fired)
    {
        const qint64 lateNs = clock.nsecsElapsed() - dueNs;
        if (recording && (fired || lateNs > 0)) {
            samplesMs.push_back(double(std::max<qint64>(0, lateNs)) / 1e6);
            servedAtNs.push_back(dueNs + std::max<qint64>(0, lateNs));
        }
    }

    const QElapsedTimer &clock;
    QTimer timer;
    qint64 dueNs = 0;
    bool recording = false;
    std::vector<double> samplesMs;
    std::vector<qint64> servedAtNs;
};

// A 10 ms sleep in a thread of its own, which waits for nothing but the
// processor: how late it wakes is what the machine's load alone costs, set
// beside the window's lateness.
class SchedulingProbe
{
public:
    SchedulingProbe()
        : thread([this] {
            auto due = std::chrono::steady_clock::now();
            while (running) {
                due += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(due);
                const auto late = std::chrono::steady_clock::now() - due;
                worstNs = std::max<qint64>(worstNs, std::chrono::duration_cast<std::chrono::nanoseconds>(late).count());
                due = std::max(due, std::chrono::steady_clock::now());
            }
        })
    {
    }

    ~SchedulingProbe() { stopMs(); }

    double stopMs()
    {
        running = false;
        if (thread.joinable())
            thread.join();
        return double(worstNs) / 1e6;
    }

private:
    std::atomic<bool> running {true};
    std::atomic<qint64> worstNs {0};
    std::thread thread;
};

// Closes each message box with its OK button once it is on screen, and
// remembers when the first one appeared and what it said.
class BoxCloser : public QObject
{
public:
    BoxCloser(const QElapsedTimer &clock, std::function<void()> onFirstBox)
        : clock(clock)
        , onFirstBox(std::move(onFirstBox))
    {
        qApp->installEventFilter(this);
    }

    bool seen() const { return shownAtNs >= 0; }
    qint64 shownAtNs = -1;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(object);
        if (!box || event->type() != QEvent::Show)
            return false;
        if (!seen()) {
            shownAtNs = clock.nsecsElapsed();
            icon = box->icon();
            text = box->text();
            onFirstBox();
        }
        QTimer::singleShot(0, box, [box] {
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->done(QMessageBox::Cancel);
        });
        return false;
    }

private:
    const QElapsedTimer &clock;
    std::function<void()> onFirstBox;
};

// Runs the event loop as the application's exec() would, until done() holds
// or the time is up. (QTest::qWaitFor sleeps between rounds of events, which
// would hold the transfer back.)
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(PollMs);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

#ifdef Q_OS_WIN
// The working set stands for the resident set: now (VmRSS) or at its peak (VmHWM).
qint64 statusKib(const char *key)
{
    PROCESS_MEMORY_COUNTERS memory {};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        return -1;
    return qint64(qstrcmp(key, "VmHWM") ? memory.WorkingSetSize : memory.PeakWorkingSetSize) / 1024;
}

double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME &t) {
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; // in 100 ns
    };
    return seconds(kernel) + seconds(user);
}
#else
qint64 statusKib(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
#endif

int fail(const char *what)
{
    std::fprintf(stderr, "tovik_bench_driver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.addOption({QStringLiteral("version"), QStringLiteral("Version to choose."), QStringLiteral("name")});
    options.addOption({QStringLiteral("size"), QStringLiteral("Expected size in bytes."), QStringLiteral("bytes")});
    options.addOption({QStringLiteral("timeout"), QStringLiteral("Give up after this many seconds."),
                       QStringLiteral("seconds"), QStringLiteral("600")});
    options.process(app);
    const QString version = options.value(QStringLiteral("version"));
    const qint64 expectedSize = options.value(QStringLiteral("size")).toLongLong();
    const int timeoutMs = options.value(QStringLiteral("timeout")).toInt() * 1000;
    if (version.isEmpty() || expectedSize <= 0 || timeoutMs <= 0)
        return fail("usage: --version NAME --size BYTES [--timeout SECONDS]");

    Tovik_all_in_one window;
    window.show();
    auto *versions = window.findChild<QComboBox *>(QStringLiteral("cbVer"));
    auto *download = window.findChild<QPushButton *>(QStringLiteral("btnDownload"));
    if (!versions || !download)
        return fail("the window has no cbVer or btnDownload");
    if (!runUntil([&] { return versions->findText(version) >= 0; }, CatalogueWaitMs))
        return fail("the catalogue did not list the version");
    versions->setCurrentIndex(versions->findText(version));
    const qint64 rssBeforeKib = statusKib("VmRSS");

    QElapsedTimer clock;
    clock.start();
    LatenessProbe lateness(clock);
    std::unique_ptr<SchedulingProbe> scheduling;
    double schedulingMaxMs = 0;
    BoxCloser boxes(clock, [&] {
        lateness.stop();
        schedulingMaxMs = scheduling->stopMs();
    });

    const double cpuBefore = cpuSeconds();
    lateness.start();
    scheduling = std::make_unique<SchedulingProbe>();
    const qint64 clickNs = clock.nsecsElapsed();
    QTest::mouseClick(download, Qt::LeftButton);

    // What the transfer hands the window, and when the last byte was reported.
    int progressReports = 0;
    int readyReads = 0;
    qint64 lastByteNs = -1;
    for (QNetworkReply *reply : window.findChildren<QNetworkReply *>()) {
        QObject::connect(reply, &QNetworkReply::downloadProgress, [&](qint64 received, qint64 total) {
            ++progressReports;
            if (received == total)
                lastByteNs = clock.nsecsElapsed();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, [&] { ++readyReads; });
    }

    const bool ended = runUntil([&] { return boxes.seen(); }, timeoutMs);
    runUntil([] { return false; }, 5 * PollMs); // the box closes, the reply is released
    const double cpuUsed = cpuSeconds() - cpuBefore;
    if (!ended)
        return fail("no message box before the time-out");

    // The box names the file; Wine keeps its Zone.Identifier stream beside it as a file of its own.
    const QString done = QString::fromUtf8(" tải về hoàn tất");
    const bool success = boxes.icon == QMessageBox::Information && boxes.text.endsWith(done);
    const QFileInfo saved(QDir::homePath() + QStringLiteral("/TovikAIO/Files/") + version,
                          boxes.text.chopped(done.size()));
    const qint64 savedSize = saved.isFile() ? saved.size() : -1;
    if (!success || savedSize != expectedSize) {
        std::fprintf(stderr, "tovik_bench_driver: box \"%s\", saved %lld of %lld bytes\n", qPrintable(boxes.text),
                     savedSize, expectedSize);
        return 1;
    }

    // The commit runs from the report of the last byte to the box; a wait
    // served after that report counts for the commit.
    const qint64 commitFromNs = lastByteNs < 0 ? boxes.shownAtNs : lastByteNs;
    std::printf("wall_s=%.4f save_s=%.4f lateness_median_ms=%.2f lateness_p99_ms=%.2f lateness_max_ms=%.2f "
                "transfer_lateness_max_ms=%.2f commit_lateness_max_ms=%.2f thread_lateness_max_ms=%.2f "
                "samples=%zu peak_rss_kib=%lld rss_before_kib=%lld cpu_s=%.3f progress_reports=%d "
                "ready_reads=%d\n",
                double(boxes.shownAtNs - clickNs) / 1e9, double(boxes.shownAtNs - commitFromNs) / 1e9,
                lateness.percentileMs(0.5), lateness.percentileMs(0.99), lateness.percentileMs(1.0),
                lateness.maxMs(commitFromNs, false), lateness.maxMs(commitFromNs, true), schedulingMaxMs,
                lateness.count(), statusKib("VmHWM"), rssBeforeKib, cpuUsed, progressReports, readyReads);
    return 0;
}
