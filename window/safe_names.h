#pragma once

#include <QString>

// Names from the catalogue become folders and files under the user's home.
// These checks keep them there, with the same answer on every platform.
namespace SafeNames {

// One folder or file name: not empty, not "." or "..", no "\", ":" or
// control character, no Windows device name, no trailing dot or space.
bool isSafeSegment(const QString &segment);

// A version name: each "/"-separated part is a safe segment. The empty name
// (no version chosen) is accepted: it names the downloads folder itself.
bool isSafeVersionName(const QString &name);

// A file name: empty (a link ending in "/") or one safe segment.
bool isSafeFileName(const QString &name);

} // namespace SafeNames
