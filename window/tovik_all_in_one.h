#pragma once

#include "transfer.h"

#include <QIODevice>
#include <QJsonObject>
#include <QMainWindow>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>
#include <QUrl>

class QTimer;
struct WindowForm;

// The one window of the program: it holds all state, and its private slots
// carry all behaviour (catalogue, selection, download, saving, file actions).
class Tovik_all_in_one : public QMainWindow
{
    Q_OBJECT

public:
    explicit Tovik_all_in_one(QWidget *parent = nullptr);
    ~Tovik_all_in_one();

protected:
    void closeEvent(QCloseEvent *event) override;

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
    // Catalogue and selection helpers.
    void limitCatalogueSize(QNetworkReply *reply);
    void listCatalogue(const QByteArray &body);
    void fetchSignature(QNetworkReply *catalogue, const QByteArray &body);
    void listIfSigned(const QByteArray &catalogue, QNetworkReply *signature);
    void refreshFileButtons();
    void pointFileButtonsAt(const QString &folder, const QString &file, bool folderSafe = true, bool fileSafe = true);
    // A build with a catalogue key fetches only files whose entry gives their sha256.
    static bool filesMustBeVouchedFor();

    // Download helpers: not slots, so the meta-object lists only the slot table.
    bool refuseUnsafeStart(const QUrl &url, QByteArray *sha256);
    void showTransferring();
    void showConnectionLost(bool waiting);
    void showSaving();
    bool finishSavedFile(Transfer *done);
    void reportFailure(Transfer::Outcome outcome);
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
    // The running transfer until it has ended; a click on "Tải về" in between
    // is kept for then.
    Transfer *transfer = nullptr;
    bool downloadAsked = false;
    // What "Thư mục" and "Cài đặt" act on: the version picked last, or the
    // file saved since.
    QString buttonsFolder;
    QString buttonsFile;
};
