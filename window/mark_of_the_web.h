#pragma once

#include <QString>
#include <QUrl>

// Windows checks a file from the Internet before running it (SmartScreen, the
// Attachment Manager) only when the file names its origin in the NTFS stream
// "Zone.Identifier", the way browsers tag their downloads. Other systems have
// no such tag: there this does nothing.
namespace MarkOfTheWeb {

// Tags the file at `path` as downloaded from `source`; true once it is tagged.
bool tag(const QString &path, const QUrl &source);

} // namespace MarkOfTheWeb
