#include "sha256.h"

#ifdef TOVIK_HAVE_LIBCRYPTO
#include <openssl/evp.h>

struct Sha256::State
{
    State() { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
    ~State() { EVP_MD_CTX_free(context); }
    void add(const QByteArray &piece) { EVP_DigestUpdate(context, piece.constData(), size_t(piece.size())); }
    QByteArray result()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(context, digest, &size);
        return QByteArray(reinterpret_cast<const char *>(digest), int(size));
    }

    EVP_MD_CTX *context = EVP_MD_CTX_new();
};
#else
#include <QCryptographicHash>

struct Sha256::State
{
    void add(const QByteArray &piece) { hash.addData(piece); }
    QByteArray result() { return hash.result(); }

    QCryptographicHash hash {QCryptographicHash::Sha256};
};
#endif

Sha256::Sha256()
    : state(std::make_unique<State>())
{
}

Sha256::~Sha256() = default;

void Sha256::add(const QByteArray &piece)
{
    state->add(piece);
}

QByteArray Sha256::result()
{
    return state->result();
}
