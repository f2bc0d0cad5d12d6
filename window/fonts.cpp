#include "fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {

// Measured at 10 points: the widest caption, "Phần mềm", takes 59 pixels in
// Roboto Condensed (fonts-roboto-unhinted) against 61 for its label; DejaVu
// Sans Condensed (fonts-dejavu-extra) takes 68, still narrower than the 75 of
// the default DejaVu Sans. Liberation Sans Narrow lacks most Vietnamese
// letters with a hook or a dot below, and Wine's Tahoma too.
const char *const NarrowSubstitutes[] = {"Roboto Condensed", "DejaVu Sans Condensed"};

} // namespace

// Every Windows has Tahoma; Linux desktops, and Wine, rarely do.
void Fonts::substituteMissingCaptionFamily()
{
    const QString family = QString::fromLatin1(CaptionFamily);
    if (QFontDatabase().hasFamily(family))
        return;
    QStringList substitutes;
    for (const char *name : NarrowSubstitutes)
        substitutes << QString::fromLatin1(name);
    QFont::insertSubstitutions(family, substitutes);
}
