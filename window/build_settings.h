#pragma once

#include <QByteArray>

// What a build of the window fixes: the catalogue's address and key. Each
// build compiles build_settings.cpp with its own values (and the network
// timings of timings.h); the rest of the window is compiled once for all.
namespace BuildSettings {

// The vendor's catalogue; the host is chosen when the program is built.
extern const char CatalogueUrl[];
// True when the build has the vendor's minisign key: the catalogue is then
// listed only with a good signature, and files only with their sha256.
extern const bool CatalogueIsSigned;
// False in a build without a key: such a build does not link libsodium.
bool signedByVendor(const QByteArray &catalogue, const QByteArray &signatureFile);

} // namespace BuildSettings
