// Reading the catalogue, and the product and version selection it drives.

#include "tovik_all_in_one.h"

#include "safe_names.h"
#include "window_form.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const char VersionsKey[] = "data";
const char ActiveKey[] = "active";
const char LinkKey[] = "downloadlink";
const char ChangesKey[] = "changelist";
const char DownloadsFolder[] = "/TovikAIO/Files/";
// A real catalogue is a few kilobytes. The reply is held in memory until it
// ends, so a server that sends more than this is cut off, and nothing is listed.
constexpr qint64 MaxCatalogueBytes = 8 * 1024 * 1024;

QJsonObject memberObject(const QJsonObject &object, const QString &name)
{
    return object.value(name).toObject();
}

QString memberString(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toString();
}

// Names are listed by their UTF-16 code units. QJsonObject::keys() of Qt 5.15
// orders by code point, which differs once names mix characters above U+FFFF
// (surrogate pairs) with ones from U+E000 to U+FFFF.
QStringList namesInCodeUnitOrder(const QJsonObject &object)
{
    QStringList names = object.keys();
    std::sort(names.begin(), names.end(),
              [](const QString &left, const QString &right) { return left < right; });
    return names;
}

} // namespace

void Tovik_all_in_one::ReadString(QNetworkReply *data)
{
    // Every failure is silent: a body that is not a JSON object lists nothing.
    if (!data)
        return;
    // A reply stopped for its size is closed and holds nothing.
    const QString text = QString::fromUtf8(data->isOpen() ? data->readAll() : QByteArray());
    catalogueRoot = QJsonDocument::fromJson(text.toUtf8()).object();
    data->deleteLater();
    ui->cbName->insertItems(ui->cbName->count(), namesInCodeUnitOrder(catalogueRoot));
}

void Tovik_all_in_one::limitCatalogueSize(QNetworkReply *reply)
{
    // The reply is ended from the event loop, not from inside its own signal;
    // until then its buffer stops taking bytes well before memory runs short.
    reply->setReadBufferSize(2 * MaxCatalogueBytes);
    const auto stopWhenTooLarge = [reply] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > MaxCatalogueBytes || reply->bytesAvailable() >= MaxCatalogueBytes)
            QTimer::singleShot(0, reply, &QNetworkReply::abort);
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, stopWhenTooLarge);
    connect(reply, &QNetworkReply::readyRead, reply, stopWhenTooLarge);
}

void Tovik_all_in_one::on_cbName_currentIndexChanged(QString i)
{
    // Cleared first: the nested version change still reads the previous product.
    ui->cbVer->clear();
    productObject = memberObject(catalogueRoot, i);

    const QJsonObject versions = memberObject(productObject, QLatin1String(VersionsKey));
    const QStringList names = namesInCodeUnitOrder(versions);
    for (const QString &name : names) {
        if (memberObject(versions, name).value(QLatin1String(ActiveKey)).toBool(false))
            ui->cbVer->addItem(name);
    }
    ui->cbVer->setCurrentIndex(ui->cbVer->count() - 1);
}

void Tovik_all_in_one::on_cbVer_currentIndexChanged(const QString &arg1)
{
    versionTable = memberObject(productObject, QLatin1String(VersionsKey));
    versionName = arg1;
    downloadFolder = QDir::homePath() + QLatin1String(DownloadsFolder) + arg1;
    const QJsonObject version = memberObject(versionTable, arg1);
    downloadLink = memberString(version, LinkKey);
    changeList = memberString(version, ChangesKey);
    fileName = saveFileName(QUrl(downloadLink, QUrl::TolerantMode));

    refreshFileButtons();
    ui->plainTextEdit->document()->setPlainText(changeList);
}

QString Tovik_all_in_one::saveFileName(const QUrl &url)
{
    return QFileInfo(url.path(QUrl::FullyDecoded)).fileName();
}

void Tovik_all_in_one::refreshFileButtons()
{
    // A name that would leave the downloads folder is never looked up on disk.
    const bool safeFolder = SafeNames::isSafeVersionName(versionName);
    const bool safeFile = safeFolder && SafeNames::isSafeFileName(fileName);
    ui->btnOpen->setEnabled(safeFolder && QDir(downloadFolder).exists());
    ui->btnInstall->setEnabled(safeFile && QFile::exists(downloadFolder + QLatin1Char('/') + fileName));
}
