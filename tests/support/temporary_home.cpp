#include "temporary_home.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

TemporaryHome::TemporaryHome()
    : m_previousHome(qgetenv("HOME"))
    , m_hadHome(qEnvironmentVariableIsSet("HOME"))
{
    if (m_folder.isValid())
        qputenv("HOME", QFile::encodeName(m_folder.path()));
}

TemporaryHome::~TemporaryHome()
{
    if (m_hadHome)
        qputenv("HOME", m_previousHome);
    else
        qunsetenv("HOME");
}

bool TemporaryHome::isValid() const
{
    return m_folder.isValid();
}

QString TemporaryHome::path() const
{
    return m_folder.path();
}

QString TemporaryHome::filePath(const QString &relativePath) const
{
    return m_folder.filePath(relativePath);
}

QStringList TemporaryHome::files() const
{
    return entries(false);
}

QStringList TemporaryHome::folders() const
{
    return entries(true);
}

bool TemporaryHome::writeFile(const QString &relativePath, const QByteArray &content) const
{
    const QString target = filePath(relativePath);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray TemporaryHome::readFile(const QString &relativePath) const
{
    QFile file(filePath(relativePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList TemporaryHome::entries(bool wantFolders) const
{
    const QDir::Filters kind = wantFolders ? QDir::Dirs : QDir::Files;
    QDirIterator it(path(), kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir home(path());
    QStringList found;
    while (it.hasNext())
        found.append(home.relativeFilePath(it.next()));
    found.sort();
    return found;
}
