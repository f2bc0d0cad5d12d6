#include "build_settings.h"

#include "catalogue_signature.h"
#include "timings.h"

#include <QRandomGenerator>

// The shipped program's timings; the test build compiles this file again with
// shorter ones, so that its cases do not wait half a minute each.
#ifndef TOVIK_STALL_TIMEOUT_MS
#define TOVIK_STALL_TIMEOUT_MS 30000
#endif
#ifndef TOVIK_RETRY_BASE_MS
#define TOVIK_RETRY_BASE_MS 1000
#endif
#ifndef TOVIK_SECOND_MS
#define TOVIK_SECOND_MS 1000
#endif

namespace {

// The vendor's minisign public key. Without one the catalogue is taken as it
// comes and no signature is asked for.
constexpr char CataloguePublicKey[] = TOVIK_CATALOGUE_PUBLIC_KEY;

} // namespace

namespace BuildSettings {

extern const char CatalogueUrl[] = TOVIK_CATALOGUE_URL;
extern const bool CatalogueIsSigned = sizeof(CataloguePublicKey) > 1;

// The one call into libsodium.
bool signedByVendor(const QByteArray &catalogue, const QByteArray &signatureFile)
{
    if constexpr (sizeof(CataloguePublicKey) > 1)
        return CatalogueSignature(QByteArray(CataloguePublicKey)).verifies(catalogue, signatureFile);
    return false;
}

} // namespace BuildSettings

namespace Timings {

extern const int StallTimeoutMs = TOVIK_STALL_TIMEOUT_MS;
extern const int RetryBaseMs = TOVIK_RETRY_BASE_MS;
extern const int SecondMs = TOVIK_SECOND_MS;

quint32 retrySeed()
{
#ifdef TOVIK_RETRY_SEED
    return TOVIK_RETRY_SEED;
#else
    return QRandomGenerator::global()->generate();
#endif
}

} // namespace Timings
