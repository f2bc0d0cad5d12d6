// Starting, following and stopping a transfer, saving what it received, and
// the actions on the saved file and on the window.

#include "tovik_all_in_one.h"

#include "safe_names.h"
#include "texts.h"
#include "transfer.h"
#include "window_form.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>

#include <iterator>
#include <limits>

namespace {

constexpr int SpeedTickMs = 1000;
const char Sha256Key[] = "sha256";
constexpr double BytesPerMegabyte = 1024.0 * 1024.0;

const char DownloadImage[] = ":/Icons/1498635164_download.png";
const char CancelImage[] = ":/Icons/1452778310_Cancel.png";

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString amountText(qint64 bytes)
{
    return QString::number(bytes / BytesPerMegabyte, 'f', 1) + text(Texts::MegabyteUnit);
}

bool isFetchable(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
            && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The bar holds 32-bit values: larger counts are scaled down together.
void showProgressOn(QProgressBar *bar, qint64 bytesRead, qint64 totalBytes)
{
    if (totalBytes < 0) {
        bar->setRange(0, 0); // size not announced: a busy indicator
        return;
    }
    int shift = 0;
    while ((totalBytes >> shift) > std::numeric_limits<int>::max())
        ++shift;
    bar->setMaximum(int(totalBytes >> shift));
    bar->setValue(int(qBound<qint64>(0, bytesRead, totalBytes) >> shift));
}

// How each way a download fails is told: the box, and then the status bar.
struct FailureReport
{
    Transfer::Outcome outcome;
    QMessageBox::Icon kind;
    const char *message;
    const char *status;
};

constexpr FailureReport FailureReports[] = {
        {Transfer::Outcome::SaveFailed, QMessageBox::Critical, Texts::CannotSave, Texts::CannotSave},
        {Transfer::Outcome::Cancelled, QMessageBox::Warning, Texts::CancelledMessage, Texts::CancelledStatus},
        {Transfer::Outcome::CutShort, QMessageBox::Critical, Texts::Interrupted, Texts::Interrupted},
        {Transfer::Outcome::Damaged, QMessageBox::Critical, Texts::Damaged, Texts::Damaged},
        {Transfer::Outcome::NothingReceived, QMessageBox::Critical, Texts::LinkNotFound, Texts::LinkNotFound},
};

// A transfer that ended while still running brought nothing: the last row.
const FailureReport &reportOf(Transfer::Outcome outcome)
{
    for (const FailureReport &report : FailureReports) {
        if (report.outcome == outcome)
            return report;
    }
    return FailureReports[std::size(FailureReports) - 1];
}

} // namespace

void Tovik_all_in_one::on_btnDownload_clicked()
{
    if (isDownloading) {
        downloadAsked = false;
        cancelRequested = true;
        if (transfer)
            transfer->cancel(); // ends it, box included, before this returns
        else
            resetControl(); // the transfer already ended while the window stayed busy
        return;
    }
    // The last file still settles on disk: this click downloads once its outcome is told.
    if (transfer) {
        downloadAsked = true;
        return;
    }
    currentReply = Download(QUrl(downloadLink, QUrl::TolerantMode));
}

QNetworkReply *Tovik_all_in_one::Download(QUrl url)
{
    if (transfer)
        return nullptr; // the last transfer is still ending: never run two at once
    QByteArray sha256;
    if (refuseUnsafeStart(url, &sha256))
        return nullptr;
    if (!QDir(downloadFolder).exists())
        QDir().mkpath(downloadFolder);

    networkManager = new QNetworkAccessManager(this);
    // A link that moved to a mirror saves the real file, never over a less safe scheme.
    networkManager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    transfer = new Transfer(networkManager, url, downloadFolder, fileName, sha256, this);
    connect(transfer, SIGNAL(progress(qint64, qint64)), this, SLOT(networkReplyProgress(qint64, qint64)));
    connect(transfer, SIGNAL(ended(QNetworkReply *)), this, SLOT(receiveData(QNetworkReply *)));
    connect(transfer, &Transfer::connectionLost, this, &Tovik_all_in_one::showConnectionLost);
    connect(transfer, &Transfer::saving, this, &Tovik_all_in_one::showSaving);

    showTransferring();
    ui->statusBar->showMessage(saveFileName(QUrl(downloadLink, QUrl::TolerantMode)) + text(Texts::Downloading));
    return transfer->start();
}

void Tovik_all_in_one::showTransferring()
{
    speedTimer->start(SpeedTickMs);
    ui->cbName->setEnabled(false);
    ui->cbVer->setEnabled(false);
    ui->btnDownload->setText(text(Texts::StopButton));
    ui->btnDownload->setIcon(QIcon(QString::fromLatin1(CancelImage)));
    isDownloading = true;
}

bool Tovik_all_in_one::refuseUnsafeStart(const QUrl &url, QByteArray *sha256)
{
    // A refused start is told as the outcome it forestalls. Names from the
    // catalogue must not lead out of the downloads folder.
    if (!SafeNames::isSafeVersionName(versionName) || !SafeNames::isSafeFileName(fileName)) {
        reportFailure(Transfer::Outcome::SaveFailed);
        return true;
    }
    // file:, data: and qrc: links are never fetched: only the web is.
    if (!isFetchable(url)) {
        reportFailure(Transfer::Outcome::NothingReceived);
        return true;
    }
    // A signed catalogue vouches for a file only through its sha256: an entry
    // without one is as good as one without a link.
    const QJsonValue digest = versionTable.value(versionName).toObject().value(QLatin1String(Sha256Key));
    if (digest.isUndefined() && filesMustBeVouchedFor()) {
        reportFailure(Transfer::Outcome::NothingReceived);
        return true;
    }
    // A checksum that is asked for but cannot be checked refuses the download.
    static const QRegularExpression hex64(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!digest.isUndefined() && !hex64.match(digest.toString()).hasMatch()) {
        reportFailure(Transfer::Outcome::Damaged);
        return true;
    }
    *sha256 = QByteArray::fromHex(digest.toString().toLatin1());
    return false;
}

void Tovik_all_in_one::showConnectionLost(bool waiting)
{
    // A retry or a start over after the last byte's report had turned the face idle.
    if (!isDownloading)
        showTransferring();
    if (waiting) {
        bytesSinceTick = 0;
        updateCaption();
        ui->statusBar->showMessage(transfer->fileName() + text(Texts::ConnectionLost));
    } else {
        ui->statusBar->showMessage(transfer->fileName() + text(Texts::Downloading));
    }
}

void Tovik_all_in_one::networkReplyProgress(qint64 bytesRead, qint64 totalBytes)
{
    showProgressOn(ui->progressBar, bytesRead, totalBytes);
    showTransferAmounts(bytesRead, totalBytes);
    bytesSinceTick += qMax<qint64>(0, bytesRead - bytesReceived);
    bytesReceived = bytesRead;
    // Only the report of every announced byte ends the transferring face; a
    // stop under way ends it through the cancel outcome.
    if (totalBytes < 0 || totalBytes > bytesRead || cancelRequested)
        ui->progressBar->show();
    else
        resetControl();
}

// Every byte is in and the file settles on disk: the face is idle, as after the
// last byte's report (a size not announced kept it busy until now).
void Tovik_all_in_one::showSaving()
{
    if (isDownloading)
        resetControl();
    ui->statusBar->showMessage(transfer->fileName() + text(Texts::Saving));
}

void Tovik_all_in_one::showTransferAmounts(qint64 bytesRead, qint64 totalBytes)
{
    const QString total = totalBytes < 0 ? text(Texts::UnknownTotal) : amountText(totalBytes);
    ui->lbl_Total->setText(text(Texts::ValuePrefix) + amountText(bytesRead) + text(Texts::AmountSeparator) + total);
}

void Tovik_all_in_one::updateCaption()
{
    const float megabytes = float(bytesSinceTick) / 1024 / 1024;
    ui->lbl_Speed->setText(text(Texts::ValuePrefix) + QString::number(megabytes, 'f', 2) + text(Texts::SpeedUnit));
    bytesSinceTick = 0;
}

void Tovik_all_in_one::resetControl()
{
    ui->progressBar->hide();
    speedTimer->stop();
    bytesSinceTick = 0;
    bytesReceived = 0;
    ui->lbl_Speed->setText(text(Texts::ResetSpeed));
    ui->lbl_Total->setText(text(Texts::ResetTotal));
    ui->cbName->setEnabled(true);
    ui->cbVer->setEnabled(true);
    ui->btnDownload->setEnabled(true);
    cancelRequested = false;
    isDownloading = false;
    ui->btnDownload->setIcon(QIcon(QString::fromLatin1(DownloadImage)));
    ui->btnDownload->setText(text(Texts::DownloadButton));
}

void Tovik_all_in_one::cancelDownload(QNetworkReply *reply)
{
    if (reply)
        reply->abort();
}

void Tovik_all_in_one::receiveData(QNetworkReply *data)
{
    // The outcome names the file the transfer saved, whatever is picked now.
    const bool own = transfer && data == transfer->lastReply();
    const QString name = own ? transfer->fileName() : fileName;
    ui->statusBar->showMessage(name + text(Texts::Saving));
    saveToDisk((own ? transfer->folder() : downloadFolder) + QLatin1Char('/') + name, data);
    releaseReply(data);
    if (std::exchange(downloadAsked, false))
        on_btnDownload_clicked();
}

bool Tovik_all_in_one::saveToDisk(const QString &filename, QIODevice *data)
{
    // The transfer has been writing its file since its first bytes, where it
    // was told to: only its own reply ends in a saved file.
    Q_UNUSED(filename)
    const bool own = transfer && data == transfer->lastReply();
    const Transfer::Outcome outcome = own ? transfer->outcome() : Transfer::Outcome::NothingReceived;
    if (outcome != Transfer::Outcome::Received) {
        reportFailure(outcome);
        return false;
    }
    return finishSavedFile(transfer);
}

bool Tovik_all_in_one::finishSavedFile(Transfer *done)
{
    const QString folder = done->folder(), name = done->fileName();
    // A transfer of unknown size is still shown as running: it ends here.
    if (isDownloading)
        resetControl();
    if (!done->commit()) {
        reportFailure(Transfer::Outcome::SaveFailed);
        return false;
    }
    ui->statusBar->showMessage(name + text(Texts::SavedStatus));
    QMessageBox::information(this, text(Texts::NoticeTitle), name + text(Texts::SavedMessage), QMessageBox::Ok);
    pointFileButtonsAt(folder, name);
    return true;
}

void Tovik_all_in_one::reportFailure(Transfer::Outcome outcome)
{
    const FailureReport &report = reportOf(outcome);
    QMessageBox box(report.kind, text(Texts::ErrorTitle), text(report.message), QMessageBox::NoButton, this);
    box.exec();
    ui->statusBar->showMessage(text(report.status));
    resetControl();
}

void Tovik_all_in_one::releaseReply(QNetworkReply *reply)
{
    // An ended transfer no longer drives the face, and the stop button forgets it;
    // it goes, with its replies and any uncommitted temporary file, once the
    // reply's notification and any running abort() are over.
    if (transfer && reply == transfer->lastReply()) {
        transfer->disconnect(this);
        transfer->deleteLater();
        transfer = nullptr;
    } else if (reply) {
        reply->disconnect(this);
        reply->deleteLater();
    }
    if (reply == currentReply)
        currentReply = nullptr;
}

void Tovik_all_in_one::on_btnInstall_clicked()
{
    QString path = buttonsFolder;
    path.append(QLatin1Char('/'));
    path.append(buttonsFile);
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Tovik_all_in_one::on_btnOpen_clicked()
{
    // A local file's URL: read as a web address, a blank or a Vietnamese letter
    // would be handed over percent-encoded, and a '%', '#' or '?' would name
    // another place; on Windows the drive ("C:") would read as a scheme.
    QDesktopServices::openUrl(QUrl::fromLocalFile(buttonsFolder));
}

void Tovik_all_in_one::on_btnClose_clicked()
{
    close();
}

// A file whose every byte is in and verified is put in place before the window
// goes, its outcome told as usual; a transfer still under way is dropped.
void Tovik_all_in_one::closeEvent(QCloseEvent *event)
{
    downloadAsked = false;
    if (transfer)
        transfer->finishNow();
    QMainWindow::closeEvent(event);
}
