#pragma once

#include <QString>
#include <QUrl>

// Windows checks a file from the Internet before running it (SmartScreen, the
// Attachment Manager) only when the file names its origin in the NTFS stream
// "Zone.Identifier", the way browsers tag their downloads. Other systems have
// no such tag: only the Windows program has these.
namespace MarkOfTheWeb {

// Tags the file at `path`, to be saved as `name`, as downloaded from `source`
// through a link read in the catalogue, and has Windows check it on the way:
// the antivirus and the zone policy may refuse it, and remove it. False when
// they did, or the file is gone; a tag that cannot be written fails nothing.
bool tag(const QString &path, const QString &name, const QUrl &source);

// Where a file's streams stay behind when it is renamed or removed (Wine keeps
// each as a file of its own), its tag follows it to `to`, or goes with it when
// `to` is empty. On NTFS there is nothing left behind.
void follow(const QString &from, const QString &to);

} // namespace MarkOfTheWeb
