// The window's face as built: widgets, texts, fonts, icons and initial states,
// the slot table as the meta-object shows it, and the by-name connections.

#include "message_box_recorder.h"
#include "temporary_home.h"
#include "tovik_all_in_one.h"
#include "window_driver.h"
#include "window_form.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMetaMethod>
#include <QNetworkProxy>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResource>
#include <QStatusBar>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

class WindowFaceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void widgets_data();
    void widgets();
    void initialState();
    void focusChainFollowsCreation();
    void slotTable();
    void metaCastAndArgumentTypes_data();
    void metaCastAndArgumentTypes();
    void images_data();
    void images();
    void bundleListsExactlyTheSixImages();
    void buttonsRunTheirSlotOnce();
    void keepsAnExistingObjectName();

private:
    QWidget *child(const char *name) const;
    TemporaryHome home;
    QTcpServer closedPort; // the catalogue request fails at once, without a DNS lookup
    std::unique_ptr<Tovik_all_in_one> window;
};

void WindowFaceTest::initTestCase()
{
    QVERIFY(closedPort.listen(QHostAddress::LocalHost));
    const quint16 port = closedPort.serverPort();
    closedPort.close();
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), port));
    window = std::make_unique<Tovik_all_in_one>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

QWidget *WindowFaceTest::child(const char *name) const
{
    return window->findChild<QWidget *>(QString::fromLatin1(name));
}

void WindowFaceTest::widgets_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tahoma");

    const QString group = QStringLiteral("groupBox");
    const QString central = QStringLiteral("centralWidget");
    auto row = [](const char *name, const char *cls, const QString &parent, QRect rect, const char *text, bool tahoma) {
        QTest::newRow(name) << QString::fromLatin1(cls) << parent << rect << QString::fromUtf8(text) << tahoma;
    };
    row("progressBar", "QProgressBar", central, QRect(10, 252, 501, 10), "", false);
    row("groupBox", "QGroupBox", central, QRect(10, 10, 501, 241), "", false);
    row("label", "QLabel", group, QRect(14, 17, 61, 16), "Phần mềm", true);
    row("cbName", "QComboBox", group, QRect(78, 12, 411, 25), "", true);
    row("label_2", "QLabel", group, QRect(14, 47, 61, 16), "Phiên bản", true);
    row("cbVer", "QComboBox", group, QRect(78, 42, 411, 25), "", true);
    row("btnClose", "QPushButton", group, QRect(409, 199, 81, 31), "  Đóng", false);
    row("lbl_Total", "QLabel", group, QRect(62, 215, 111, 16), ": 0.00 KB/ 0.00 KB", false);
    row("lbl_Speed", "QLabel", group, QRect(62, 198, 111, 16), ": 0.00 Kb/s", false);
    row("label_7", "QLabel", group, QRect(15, 215, 41, 16), "Total", false);
    row("label_8", "QLabel", group, QRect(15, 197, 41, 16), "Speed", false);
    row("btnInstall", "QPushButton", group, QRect(160, 199, 81, 31), "  Cài đặt", false);
    row("btnDownload", "QPushButton", group, QRect(326, 199, 81, 31), "  Tải về", false);
    row("label_3", "QLabel", group, QRect(13, 74, 61, 16), "Thông tin", true);
    row("label_4", "QLabel", group, QRect(13, 90, 61, 16), "phiên bản", true);
    row("plainTextEdit", "QPlainTextEdit", group, QRect(78, 73, 411, 117), "", false);
    row("btnOpen", "QPushButton", group, QRect(243, 199, 81, 31), "Thư mục", false);
}

void WindowFaceTest::widgets()
{
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, tahoma);

    QWidget *widget = child(QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parent()->objectName(), parentName);
    QCOMPARE(widget->geometry(), geometry);
    if (qobject_cast<QLabel *>(widget) || qobject_cast<QPushButton *>(widget))
        QCOMPARE(widget->property("text").toString(), text);

    const QFont font = widget->font();
    QCOMPARE(font.family() == QLatin1String("Tahoma") && font.pointSize() == 10, tahoma);
    QVERIFY(!font.bold() && !font.italic());
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->iconSize(), QSize(20, 20));
        QVERIFY(!button->icon().isNull());
    }
}

void WindowFaceTest::initialState()
{
    QCOMPARE(window->objectName(), QStringLiteral("Tovik_all_in_one"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tovik All In One"));
    QCOMPARE(window->size(), QSize(520, 290));
    QCOMPARE(window->minimumSize(), QSize(520, 290));
    QCOMPARE(window->maximumSize(), QSize(520, 290));
    QCOMPARE(window->windowModality(), Qt::WindowModal);
    QCOMPARE(window->iconSize(), QSize(16, 16));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->centralWidget(), child("centralWidget"));
    QCOMPARE(window->statusBar(), child("statusBar"));
    QCOMPARE(window->statusBar()->currentMessage(), QString());
    QCOMPARE(window->findChild<QGroupBox *>()->title(), QString());

    QVERIFY(!child("progressBar")->isVisible());
    QCOMPARE(window->findChild<QProgressBar *>()->value(), 0);
    QVERIFY(!window->findChild<QProgressBar *>()->isTextVisible());
    QVERIFY(!child("btnInstall")->isEnabled());
    for (const char *name : {"btnOpen", "btnDownload", "btnClose", "cbName", "cbVer"})
        QVERIFY2(child(name)->isEnabled(), name);
    QCOMPARE(window->findChild<QComboBox *>(QStringLiteral("cbName"))->insertPolicy(), QComboBox::InsertAlphabetically);
    QCOMPARE(window->findChild<QComboBox *>(QStringLiteral("cbVer"))->insertPolicy(), QComboBox::NoInsert);
    QVERIFY(window->findChild<QPlainTextEdit *>()->isReadOnly());
    const QList<QTimer *> timers = window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QVERIFY(!timers.first()->isActive());
}

void WindowFaceTest::focusChainFollowsCreation()
{
    const QStringList expected = {QStringLiteral("cbName"), QStringLiteral("cbVer"), QStringLiteral("btnClose"),
                                  QStringLiteral("btnInstall"), QStringLiteral("btnDownload"),
                                  QStringLiteral("plainTextEdit"), QStringLiteral("btnOpen")};
    QStringList chain;
    QWidget *start = child("cbName");
    QWidget *next = start;
    do {
        if (next->focusPolicy() & Qt::TabFocus)
            chain.append(next->objectName());
        next = next->nextInFocusChain();
    } while (next != start);
    QCOMPARE(chain, expected);
}

void WindowFaceTest::slotTable()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta->className(), "Tovik_all_in_one");
    QCOMPARE(meta->superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
    QCOMPARE(meta->classInfoCount(), 0);
    QCOMPARE(meta->constructorCount(), 0);

    const QStringList expected = {
        QStringLiteral("QString saveFileName(QUrl url)"),
        QStringLiteral("bool saveToDisk(QString filename,QIODevice* data)"),
        QStringLiteral("void on_btnDownload_clicked()"),
        QStringLiteral("void on_cbName_currentIndexChanged(QString i)"),
        QStringLiteral("void on_cbVer_currentIndexChanged(QString arg1)"),
        // qint64 is normalised to qlonglong in the meta-object
        QStringLiteral("void networkReplyProgress(qlonglong bytesRead,qlonglong totalBytes)"),
        QStringLiteral("void updateCaption()"),
        QStringLiteral("void ReadString(QNetworkReply* data)"),
        QStringLiteral("QNetworkReply* Download(QUrl url)"),
        QStringLiteral("void receiveData(QNetworkReply* data)"),
        QStringLiteral("void on_btnClose_clicked()"),
        QStringLiteral("void on_btnInstall_clicked()"),
        QStringLiteral("void cancelDownload(QNetworkReply* reply)"),
        QStringLiteral("void resetControl()"),
        QStringLiteral("void on_btnOpen_clicked()"),
    };
    QStringList actual;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        QStringList parameters;
        for (int p = 0; p < method.parameterCount(); ++p)
            parameters.append(QString::fromLatin1(method.parameterTypes().at(p) + ' ' + method.parameterNames().at(p)));
        actual.append(QString::fromLatin1(method.typeName()) + QLatin1Char(' ') + QString::fromLatin1(method.name())
                      + QLatin1Char('(') + parameters.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    QCOMPARE(actual, expected);
}

void WindowFaceTest::metaCastAndArgumentTypes_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("expectedType");

    const int reply = qMetaTypeId<QNetworkReply *>();
    QTest::newRow("saveToDisk data") << 1 << 1 << qMetaTypeId<QIODevice *>();
    QTest::newRow("saveToDisk filename") << 1 << 0 << -1;
    QTest::newRow("ReadString data") << 7 << 0 << reply;
    QTest::newRow("Download url") << 8 << 0 << -1;
    QTest::newRow("receiveData data") << 9 << 0 << reply;
    QTest::newRow("cancelDownload reply") << 12 << 0 << reply;
    QTest::newRow("networkReplyProgress") << 5 << 0 << -1;
}

void WindowFaceTest::metaCastAndArgumentTypes()
{
    QFETCH(int, slot);
    QFETCH(int, argument);
    QFETCH(int, expectedType);

    QCOMPARE(window->qt_metacast("Tovik_all_in_one"), static_cast<void *>(window.get()));
    QCOMPARE(window->qt_metacast("QMainWindow"), static_cast<void *>(window.get()));
    QCOMPARE(window->qt_metacast(nullptr), nullptr);
    QCOMPARE(window->qt_metacast("Tovik_all_in_onex"), nullptr);

    int registered = -2;
    void *arguments[] = {&registered, &argument};
    const int index = window->metaObject()->methodOffset() + slot;
    const int rest = window->qt_metacall(QMetaObject::RegisterMethodArgumentMetaType, index, arguments);
    QCOMPARE(rest, slot - 15);
    QCOMPARE(registered, expectedType);
}

void WindowFaceTest::images_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1452778310_Cancel.png") << QSize(128, 128);
    QTest::newRow("1498635164_download.png") << QSize(64, 64);
    QTest::newRow("1464966328_adept_installer.png") << QSize(128, 128);
    QTest::newRow("1464039768_Folder.png") << QSize(32, 32);
    QTest::newRow("TovikAIO.png") << QSize(82, 69);
    QTest::newRow("1452863351_cross-button.png") << QSize(16, 16);
}

void WindowFaceTest::images()
{
    QFETCH(QSize, size);
    const QString path = QStringLiteral(":/Icons/") + QString::fromLatin1(QTest::currentDataTag());

    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    const QByteArray bytes(reinterpret_cast<const char *>(resource.data()), int(resource.size()));
    // IHDR: 8 bits per channel, truecolour with alpha, not interlaced.
    QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(bytes.at(24)), 8);
    QCOMPARE(int(bytes.at(25)), 6);
    QCOMPARE(int(bytes.at(28)), 0);

    QImageReader reader(path);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
}

void WindowFaceTest::bundleListsExactlyTheSixImages()
{
    QStringList names = QDir(QStringLiteral(":/Icons")).entryList();
    names.sort();
    const QStringList expected = {QStringLiteral("1452778310_Cancel.png"), QStringLiteral("1452863351_cross-button.png"),
                                  QStringLiteral("1464039768_Folder.png"), QStringLiteral("1464966328_adept_installer.png"),
                                  QStringLiteral("1498635164_download.png"), QStringLiteral("TovikAIO.png")};
    QCOMPARE(names, expected);
}

void WindowFaceTest::buttonsRunTheirSlotOnce()
{
    DesktopRequests desktop;
    MessageBoxRecorder boxes;

    // Nothing chosen yet: the folder action builds an empty URL, which the
    // desktop refuses (a handler still sees it); install is disabled;
    // download finds no link.
    QTest::mouseClick(child("btnOpen"), Qt::LeftButton);
    QTest::mouseClick(child("btnInstall"), Qt::LeftButton);
    QCOMPARE(desktop.urls.size(), 1);
    QVERIFY(desktop.urls.first().isEmpty() && !desktop.urls.first().isValid());

    QTest::mouseClick(child("btnDownload"), Qt::LeftButton);
    QVERIFY(boxes.waitForBoxes(1, 5000));
    QTest::qWait(100);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes().first().text, QStringLiteral("Không tìm thấy link file download."));

    // A combo change runs the version slot once: it sets the change list.
    auto *versions = window->findChild<QComboBox *>(QStringLiteral("cbVer"));
    versions->addItem(QStringLiteral("9.9"));
    QCOMPARE(window->findChild<QPlainTextEdit *>()->toPlainText(), QString());
    QVERIFY(!child("btnInstall")->isEnabled());

    QTest::mouseClick(child("btnClose"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
}

void WindowFaceTest::keepsAnExistingObjectName()
{
    QMainWindow named;
    named.setObjectName(QStringLiteral("named"));
    WindowForm form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("named"));
    QCOMPARE(named.centralWidget(), form.centralWidget);
}

QTEST_MAIN(WindowFaceTest)
#include "tst_window_face.moc"
