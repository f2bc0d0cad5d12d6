#include "sha256_stream.h"

#ifdef TOVIK_HAVE_LIBCRYPTO
#include <openssl/evp.h>
#else
#include <QCryptographicHash>
#endif

namespace {

// Enough to keep the hashing thread busy, little enough to stay out of memory's way.
constexpr qint64 MaxWaitingBytes = 32 * 1024 * 1024;

#ifdef TOVIK_HAVE_LIBCRYPTO
class Digest
{
public:
    Digest() { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
    ~Digest() { EVP_MD_CTX_free(context); }
    void add(const QByteArray &piece) { EVP_DigestUpdate(context, piece.constData(), size_t(piece.size())); }
    QByteArray result()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(context, digest, &size);
        return QByteArray(reinterpret_cast<const char *>(digest), int(size));
    }

private:
    EVP_MD_CTX *context = EVP_MD_CTX_new();
};
#else
class Digest
{
public:
    void add(const QByteArray &piece) { hash.addData(piece); }
    QByteArray result() { return hash.result(); }

private:
    QCryptographicHash hash{QCryptographicHash::Sha256};
};
#endif

} // namespace

Sha256Stream::Sha256Stream()
    : worker(&Sha256Stream::run, this)
{
}

Sha256Stream::~Sha256Stream()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        closing = true;
    }
    wake.notify_one();
    worker.join();
}

void Sha256Stream::add(const QByteArray &piece)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        jobs.push_back({piece, {}, nullptr});
        waiting += piece.size();
    }
    wake.notify_one();
}

bool Sha256Stream::isBehind(QObject *context, std::function<void()> resume)
{
    std::lock_guard<std::mutex> guard(lock);
    if (waiting <= MaxWaitingBytes)
        return false;
    resumeContext = context;
    resumeCall = std::move(resume);
    return true;
}

void Sha256Stream::finish(QObject *context, std::function<void(QByteArray)> done)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        jobs.push_back({QByteArray(), std::move(done), context});
    }
    wake.notify_one();
}

void Sha256Stream::run()
{
    Digest digest;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [this] { return closing || !jobs.empty(); });
        if (closing)
            return;
        Job job = std::move(jobs.front());
        jobs.pop_front();
        guard.unlock();
        if (job.done) {
            const QByteArray result = digest.result();
            // Posted to the context's thread; dropped if the context is gone by then.
            QMetaObject::invokeMethod(job.context, [done = job.done, result] { done(result); }, Qt::QueuedConnection);
        } else {
            digest.add(job.piece);
        }
        guard.lock();
        waiting -= job.piece.size();
        if (resumeCall && waiting <= MaxWaitingBytes / 2) {
            QMetaObject::invokeMethod(resumeContext, std::move(resumeCall), Qt::QueuedConnection);
            resumeCall = nullptr;
        }
    }
}
