#pragma once

#include <QNetworkRequest>
#include <QtGlobal>

// How long the program waits on a silent network. Each build fixes the values
// in build_settings.cpp: the test build's are shorter.
namespace Timings {

// No answer, or no byte of the body, for this long counts as a dropped connection.
extern const int StallTimeoutMs;
// The first wait before asking again; each further one doubles it.
extern const int RetryBaseMs;
// A second of the wait that a busy server asks for, and the longest such wait.
extern const int SecondMs;
constexpr int RetryAfterCapSeconds = 60;

// Where the jitter of each download's retry waits starts: fixed in the test
// build, so that its waits are known.
quint32 retrySeed();

inline QNetworkRequest withStallTimeout(QNetworkRequest request)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    request.setTransferTimeout(StallTimeoutMs);
#endif
    return request;
}

} // namespace Timings
