#include "window_fixture.h"

#include "tovik_all_in_one.h"
#include "window_driver.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

QByteArray catalogueWith(const QString &version, const QString &link)
{
    const QJsonObject entry{{"active", true}, {"downloadlink", link}, {"changelist", "notes"}};
    return QJsonDocument(QJsonObject{{"P", QJsonObject{{"data", QJsonObject{{version, entry}}}}}}).toJson();
}

WindowFixture::WindowFixture() = default;

WindowFixture::~WindowFixture() = default;

void WindowFixture::startTest()
{
    server.clearRoutes();
    server.clearRequests();
    boxes = std::make_unique<MessageBoxRecorder>();
}

void WindowFixture::endTest()
{
    window.reset();
    boxes.reset();
}

void WindowFixture::load(const QString &version, const QString &link)
{
    server.serve(CataloguePath, HttpResponse::content(catalogueWith(version, link)));
    window = std::make_unique<Tovik_all_in_one>();
    window->show();
    QVERIFY(waitForCatalogue(window.get()));
    QCOMPARE(window->findChild<QComboBox *>(QStringLiteral("cbVer"))->currentText(), version);
}

void WindowFixture::clickDownload() const
{
    QTest::mouseClick(button("btnDownload"), Qt::LeftButton);
}

void WindowFixture::verifyIdle() const
{
    QVERIFY(!bar()->isVisible());
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Tải về"));
    QVERIFY(button("btnDownload")->isEnabled());
    for (QComboBox *box : window->findChildren<QComboBox *>())
        QVERIFY(box->isEnabled());
    QCOMPARE(label("lbl_Total")->text(), QStringLiteral(": 0.00 KB/0.00 KB"));
    QCOMPARE(label("lbl_Speed")->text(), QStringLiteral(": 0.00 Kb/s"));
    QVERIFY(!window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->isActive());
}

QPushButton *WindowFixture::button(const char *name) const
{
    return window->findChild<QPushButton *>(QLatin1String(name));
}

QLabel *WindowFixture::label(const char *name) const
{
    return window->findChild<QLabel *>(QLatin1String(name));
}

QProgressBar *WindowFixture::bar() const
{
    return window->findChild<QProgressBar *>();
}

QString WindowFixture::status() const
{
    return window->statusBar()->currentMessage();
}

QStringList WindowFixture::downloadRequests() const
{
    QStringList targets;
    for (const RecordedRequest &request : server.requests()) {
        if (request.path != CataloguePath)
            targets.append(QString::fromLatin1(request.method + ' ' + request.target));
    }
    return targets;
}
