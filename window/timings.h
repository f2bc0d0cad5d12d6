#pragma once

#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QtGlobal>

// How long the program waits on a silent network. The shipped program uses
// the values below; only the test build compiles the window again with
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

namespace Timings {

// No answer, or no byte of the body, for this long counts as a dropped connection.
constexpr int StallTimeoutMs = TOVIK_STALL_TIMEOUT_MS;
// The first wait before asking again; each further one doubles it.
constexpr int RetryBaseMs = TOVIK_RETRY_BASE_MS;
// A second of the wait that a busy server asks for, and the longest such wait.
constexpr int SecondMs = TOVIK_SECOND_MS;
constexpr int RetryAfterCapSeconds = 60;

// Where the jitter of each download's retry waits starts: fixed in the test
// build, so that its waits are known.
inline quint32 retrySeed()
{
#ifdef TOVIK_RETRY_SEED
    return TOVIK_RETRY_SEED;
#else
    return QRandomGenerator::global()->generate();
#endif
}

inline QNetworkRequest withStallTimeout(QNetworkRequest request)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    request.setTransferTimeout(StallTimeoutMs);
#endif
    return request;
}

} // namespace Timings
