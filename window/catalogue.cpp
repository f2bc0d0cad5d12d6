// Reading the catalogue, and the product and version selection it drives.

#include "tovik_all_in_one.h"

#include "build_settings.h"
#include "safe_names.h"
#include "timings.h"
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

using BuildSettings::CatalogueIsSigned;
// `minisign -S` writes the signature beside the file, under this suffix.
constexpr char SignatureSuffix[] = ".minisig";
// A signature file is a few hundred bytes; one larger than 4 KiB is refused.
constexpr qint64 MaxSignatureBytes = 4 * 1024;

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
    std::sort(names.begin(), names.end(), [](const QString &left, const QString &right) { return left < right; });
    return names;
}

// The reply is ended from the event loop, not from inside its own signal;
// until then its buffer stops taking bytes well before memory runs short.
void stopWhenLargerThan(QNetworkReply *reply, qint64 maxBytes)
{
    reply->setReadBufferSize(2 * maxBytes);
    const auto stopWhenTooLarge = [reply, maxBytes] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > maxBytes || reply->bytesAvailable() > maxBytes)
            QTimer::singleShot(0, reply, &QNetworkReply::abort);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, stopWhenTooLarge);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, stopWhenTooLarge);
}

// A reply stopped for its size is closed and holds nothing. One that came
// whole before the stop could run is refused here by the same rule.
QByteArray bodyOf(QNetworkReply *reply, qint64 maxBytes)
{
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    return body.size() <= maxBytes && length <= maxBytes ? body : QByteArray();
}

} // namespace

void Tovik_all_in_one::ReadString(QNetworkReply *data)
{
    // Every failure is silent: a body that is not a JSON object lists nothing.
    if (!data)
        return;
    const QByteArray body = bodyOf(data, MaxCatalogueBytes);
    data->deleteLater();
    if (CatalogueIsSigned)
        fetchSignature(data, body);
    else
        listCatalogue(body);
}

void Tovik_all_in_one::listCatalogue(const QByteArray &body)
{
    const QString text = QString::fromUtf8(body);
    catalogueRoot = QJsonDocument::fromJson(text.toUtf8()).object();
    ui->cbName->insertItems(ui->cbName->count(), namesInCodeUnitOrder(catalogueRoot));
}

void Tovik_all_in_one::fetchSignature(QNetworkReply *catalogue, const QByteArray &body)
{
    // ReadString reads the catalogue alone; the signature has its own handler.
    QNetworkAccessManager *manager = catalogue->manager();
    disconnect(manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(ReadString(QNetworkReply *)));
    QUrl url = catalogue->request().url();
    url.setPath(url.path() + QLatin1String(SignatureSuffix));
    // The signature waits no longer than the catalogue itself.
    QNetworkReply *signature = manager->get(Timings::withStallTimeout(QNetworkRequest(url)));
    stopWhenLargerThan(signature, MaxSignatureBytes);
    connect(signature, &QNetworkReply::finished, this, [this, body, signature] { listIfSigned(body, signature); });
}

void Tovik_all_in_one::listIfSigned(const QByteArray &catalogue, QNetworkReply *signature)
{
    const QByteArray signatureFile = bodyOf(signature, MaxSignatureBytes);
    signature->deleteLater();
    // Anything but a good signature by the built-in key leaves the catalogue
    // empty, as silently as an unreachable server.
    if (BuildSettings::signedByVendor(catalogue, signatureFile))
        listCatalogue(catalogue);
}

bool Tovik_all_in_one::filesMustBeVouchedFor()
{
    return CatalogueIsSigned;
}

void Tovik_all_in_one::limitCatalogueSize(QNetworkReply *reply)
{
    stopWhenLargerThan(reply, MaxCatalogueBytes);
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
    pointFileButtonsAt(downloadFolder, fileName, safeFolder, safeFolder && SafeNames::isSafeFileName(fileName));
}

void Tovik_all_in_one::pointFileButtonsAt(const QString &folder, const QString &file, bool folderSafe, bool fileSafe)
{
    buttonsFolder = folder;
    buttonsFile = file;
    ui->btnOpen->setEnabled(folderSafe && QDir(folder).exists());
    ui->btnInstall->setEnabled(fileSafe && QFile::exists(folder + QLatin1Char('/') + file));
}
