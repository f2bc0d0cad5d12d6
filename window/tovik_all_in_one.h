#pragma once

#include <QIODevice>
#include <QJsonObject>
#include <QMainWindow>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <QUrl>

#include <memory>

class QTimer;
class StreamedFile;
struct WindowForm;

// The one window of the program: it holds all state, and its private slots
// carry all behaviour (catalogue, selection, download, saving, file actions).
class Tovik_all_in_one : public QMainWindow
{
    Q_OBJECT

public:
    explicit Tovik_all_in_one(QWidget *parent = nullptr);
    ~Tovik_all_in_one();

private slots:
    QString saveFileName(const QUrl &url);
    bool saveToDisk(const QString &filename, QIODevice *data);
    void on_btnDownload_clicked();
    void on_cbName_currentIndexChanged(QString i);
    void on_cbVer_currentIndexChanged(const QString &arg1);
    void networkReplyProgress(qint64 bytesRead, qint64 totalBytes);
    void updateCaption();
    void ReadString(QNetworkReply *data);
    QNetworkReply *Download(QUrl url);
    void receiveData(QNetworkReply *data);
    void on_btnClose_clicked();
    void on_btnInstall_clicked();
    void cancelDownload(QNetworkReply *reply);
    void resetControl();
    void on_btnOpen_clicked();

private:
    // How a transfer ended, in the order the save step weighs it.
    enum class TransferOutcome { SaveFailed, Cancelled, CutShort, NothingReceived, Received };

    // Catalogue and selection helpers.
    void limitCatalogueSize(QNetworkReply *reply);
    void listCatalogue(const QByteArray &body);
    void fetchSignature(QNetworkReply *catalogue, const QByteArray &body);
    void listIfSigned(const QByteArray &catalogue, QNetworkReply *signature);
    void refreshFileButtons();

    // Download helpers: not slots, so the meta-object lists only the slot table.
    bool refuseUnsafeStart(const QUrl &url);
    void writeArrivedBytes();
    void drainInto(QIODevice *data, StreamedFile &file);
    void stopTransferForSaveFailure();
    TransferOutcome outcomeOf(QIODevice *data, const StreamedFile &file) const;
    bool finishSavedFile(StreamedFile &file);
    void reportFailure(QMessageBox::Icon kind, const QString &message, const QString &statusText);
    void showTransferAmounts(qint64 bytesRead, qint64 totalBytes);
    void releaseReply(QNetworkReply *reply);

    QNetworkAccessManager *networkManager;
    WindowForm *ui;
    qint64 bytesReceived;
    qint64 bytesSinceTick;
    QTimer *speedTimer;
    QJsonObject catalogueRoot;
    QJsonObject productObject;
    QJsonObject versionTable;
    QString downloadLink;
    QString downloadFolder;
    QString fileName;
    QString changeList;
    bool isDownloading;
    bool cancelRequested;
    QNetworkReply *currentReply = nullptr;

    // The version name in downloadFolder, checked before anything touches disk.
    QString versionName;
    // The file of the running transfer: written while the body arrives and
    // put in place only when the transfer has succeeded.
    std::unique_ptr<StreamedFile> transferFile;
    // The transfer's reply until it has ended; a click in between starts nothing.
    QNetworkReply *pendingReply = nullptr;
};
