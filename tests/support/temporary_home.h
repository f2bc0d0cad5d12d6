#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh, empty home folder for one test: HOME points at a temporary
// folder for the object's lifetime, so QDir::homePath() and everything the
// program writes under it land there, and the old HOME comes back after.
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    bool isValid() const;
    QString path() const;
    QString filePath(const QString &relativePath) const;

    // Every file (hidden ones included) and every folder under the home,
    // as sorted paths relative to it, with "/" between segments.
    QStringList files() const;
    QStringList folders() const;

    bool writeFile(const QString &relativePath, const QByteArray &content) const;
    QByteArray readFile(const QString &relativePath) const;

private:
    QStringList entries(bool wantFolders) const;

    QTemporaryDir m_folder;
    QByteArray m_previousHome;
    bool m_hadHome;
};
