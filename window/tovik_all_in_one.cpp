#include "tovik_all_in_one.h"

#include "build_settings.h"
#include "timings.h"
#include "transfer.h"
#include "window_form.h"

#include <QProgressBar>
#include <QTimer>

Tovik_all_in_one::Tovik_all_in_one(QWidget *parent)
    : QMainWindow(parent)
    , ui(new WindowForm)
{
    ui->setupUi(this);
    cancelRequested = false;
    isDownloading = false;
    bytesReceived = 0;
    bytesSinceTick = 0;
    networkManager = new QNetworkAccessManager(this);
    speedTimer = new QTimer(this);
    connect(speedTimer, SIGNAL(timeout()), this, SLOT(updateCaption()));
    ui->progressBar->hide();

    const QUrl catalogue(QString::fromLatin1(BuildSettings::CatalogueUrl), QUrl::TolerantMode);
    limitCatalogueSize(networkManager->get(Timings::withStallTimeout(QNetworkRequest(catalogue))));
    connect(networkManager, SIGNAL(finished(QNetworkReply *)), this, SLOT(ReadString(QNetworkReply *)));
}

Tovik_all_in_one::~Tovik_all_in_one()
{
    delete transfer; // a running one removes its temporary file and tells no one
    delete ui;
}
