#include "catalogue_signature.h"

#include <QList>

#include <algorithm>
#include <cstring>

#include <sodium.h>

namespace {

constexpr int AlgorithmBytes = 2;
constexpr int KeyIdBytes = 8;
constexpr int PublicKeyBytes = AlgorithmBytes + KeyIdBytes + crypto_sign_PUBLICKEYBYTES;
constexpr int SignatureBytes = AlgorithmBytes + KeyIdBytes + crypto_sign_BYTES;
constexpr int PrehashBytes = crypto_generichash_BYTES_MAX; // BLAKE2b-512
constexpr char KeyAlgorithm[] = "Ed";
constexpr char PrehashedAlgorithm[] = "ED"; // Ed25519 over BLAKE2b-512 of the file
constexpr char LegacyAlgorithm[] = "Ed"; // Ed25519 over the file itself
constexpr char UntrustedPrefix[] = "untrusted comment: ";
constexpr char TrustedPrefix[] = "trusted comment: ";
constexpr int SignatureFileLines = 4;
constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// The four lines of a signature file, decoded and checked for shape only.
struct SignatureFile
{
    QByteArray algorithm;
    QByteArray keyId;
    QByteArray signature;
    QByteArray trustedComment; // the signed text after the prefix
    QByteArray globalSignature;
};

// libsodium 1.0.18 decodes every byte from 0x80 up as "/": only the alphabet itself is read.
bool isBase64Text(const QByteArray &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](char c) { return c != '\0' && std::strchr(Base64Alphabet, c); });
}

// Strict base64 of exactly `size` bytes; anything else gives an empty array.
QByteArray decodeExactly(const QByteArray &text, int size)
{
    if (!isBase64Text(text))
        return QByteArray();
    QByteArray bytes(size, '\0');
    size_t decoded = 0;
    const int failed
            = sodium_base642bin(reinterpret_cast<unsigned char *>(bytes.data()), bytes.size(), text.constData(),
                                size_t(text.size()), nullptr, &decoded, nullptr, sodium_base64_VARIANT_ORIGINAL);
    return failed == 0 && decoded == size_t(size) ? bytes : QByteArray();
}

// Lines end in "\n" or "\r\n"; whatever follows the fourth line is not read.
QList<QByteArray> linesOf(const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

bool parseSignatureFile(const QByteArray &file, SignatureFile *parsed)
{
    const QList<QByteArray> lines = linesOf(file);
    if (lines.size() < SignatureFileLines || !lines[0].startsWith(UntrustedPrefix)
        || !lines[2].startsWith(TrustedPrefix))
        return false;
    const QByteArray signatureLine = decodeExactly(lines[1], SignatureBytes);
    parsed->globalSignature = decodeExactly(lines[3], crypto_sign_BYTES);
    if (signatureLine.isEmpty() || parsed->globalSignature.isEmpty())
        return false;
    parsed->algorithm = signatureLine.left(AlgorithmBytes);
    parsed->keyId = signatureLine.mid(AlgorithmBytes, KeyIdBytes);
    parsed->signature = signatureLine.mid(AlgorithmBytes + KeyIdBytes);
    parsed->trustedComment = lines[2].mid(int(sizeof(TrustedPrefix)) - 1);
    return parsed->algorithm == PrehashedAlgorithm || parsed->algorithm == LegacyAlgorithm;
}

QByteArray prehashed(const QByteArray &content)
{
    QByteArray digest(PrehashBytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(content.constData()), size_t(content.size()), nullptr,
                       0);
    return digest;
}

bool ed25519Verifies(const QByteArray &signature, const QByteArray &message, const QByteArray &publicKey)
{
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                       reinterpret_cast<const unsigned char *>(message.constData()),
                                       size_t(message.size()),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData()))
            == 0;
}

} // namespace

CatalogueSignature::CatalogueSignature(const QByteArray &publicKeyLine)
{
    const QByteArray key = decodeExactly(publicKeyLine.trimmed(), PublicKeyBytes);
    if (sodium_init() < 0 || !key.startsWith(KeyAlgorithm))
        return;
    keyId = key.mid(AlgorithmBytes, KeyIdBytes);
    publicKey = key.mid(AlgorithmBytes + KeyIdBytes);
}

bool CatalogueSignature::verifies(const QByteArray &content, const QByteArray &signatureFile) const
{
    SignatureFile parsed;
    if (publicKey.isEmpty() || !parseSignatureFile(signatureFile, &parsed) || parsed.keyId != keyId)
        return false;
    const QByteArray message = parsed.algorithm == PrehashedAlgorithm ? prehashed(content) : content;
    return ed25519Verifies(parsed.signature, message, publicKey)
            && ed25519Verifies(parsed.globalSignature, parsed.signature + parsed.trustedComment, publicKey);
}
