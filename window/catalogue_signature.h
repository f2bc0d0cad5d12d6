#pragma once

#include <QByteArray>

// A minisign public key and the check of a minisign signature file against
// it, done by libsodium. It knows bytes only: no window, no network.
class CatalogueSignature
{
public:
    // The base64 line of a minisign public key file. A line that is not a
    // valid key makes every check fail.
    explicit CatalogueSignature(const QByteArray &publicKeyLine);

    // True only when `signatureFile` (what `minisign -S` writes) signs
    // exactly `content` with this key, its trusted comment included.
    bool verifies(const QByteArray &content, const QByteArray &signatureFile) const;

private:
    QByteArray keyId; // empty when the key line was not a valid key
    QByteArray publicKey;
};
