#include "safe_names.h"

#include <QRegularExpression>
#include <QStringList>

namespace SafeNames {

namespace {

    const QChar PathSeparator = QLatin1Char('/');

    bool isWindowsDeviceName(const QString &segment)
    {
        // CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows, with or
        // without an extension and in any case.
        static const QRegularExpression deviceName(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                                   QRegularExpression::CaseInsensitiveOption);
        return deviceName.match(segment).hasMatch();
    }

    bool hasForbiddenCharacter(const QString &segment)
    {
        for (const QChar c : segment) {
            if (c == QLatin1Char('\\') || c == QLatin1Char(':') || c.category() == QChar::Other_Control)
                return true;
        }
        return false;
    }

} // namespace

bool isSafeSegment(const QString &segment)
{
    if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
        return false;
    if (segment.endsWith(QLatin1Char('.')) || segment.endsWith(QLatin1Char(' ')))
        return false;
    return !hasForbiddenCharacter(segment) && !isWindowsDeviceName(segment);
}

bool isSafeVersionName(const QString &name)
{
    if (name.isEmpty())
        return true;
    const QStringList segments = name.split(PathSeparator);
    for (const QString &segment : segments) {
        if (!isSafeSegment(segment))
            return false;
    }
    return true;
}

bool isSafeFileName(const QString &name)
{
    return name.isEmpty() || isSafeSegment(name);
}

} // namespace SafeNames
