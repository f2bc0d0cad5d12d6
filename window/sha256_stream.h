#pragma once

#include <QByteArray>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// SHA-256 of a stream of pieces, computed on a thread of its own so that the
// window's thread only hands the pieces over. Built with libcrypto when it is
// found (it uses the processor's SHA instructions), else with Qt's own code.
class Sha256Stream
{
public:
    Sha256Stream();
    ~Sha256Stream(); // drops what is not hashed yet

    void add(const QByteArray &piece);
    // True while more than a bounded amount waits: the caller then stops
    // reading until `resume` runs on `context`'s thread.
    bool isBehind(QObject *context, std::function<void()> resume);
    // `done` runs on `context`'s thread with the digest of every piece added.
    void finish(QObject *context, std::function<void(QByteArray)> done);

private:
    struct Job
    {
        QByteArray piece;
        std::function<void(QByteArray)> done;
        QObject *context = nullptr;
    };
    void run();

    std::mutex lock;
    std::condition_variable wake;
    std::deque<Job> jobs;
    qint64 waiting = 0;
    std::function<void()> resumeCall;
    QObject *resumeContext = nullptr;
    bool closing = false;
    std::thread worker;
};
