// The window's face at every display scaling and its by-name connections,
// and the catalogue listing and selection.
#include "display_scaling.h"
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
Q_DECLARE_METATYPE(Reply)
class FaceAndCatalogueTest : public Fixture
{
    Q_OBJECT
    QComboBox *combo(const char *name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }

public:
    static void initMain() { enableDisplayScaling(); } // before the application object, as the program does
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
    // The face at each display scaling, in logical pixels: a row runs where
    // the display is at its scale (CTest starts one for each) and skips elsewhere.
    void face_data()
    {
        QTest::addColumn<qreal>("scale");
        for (int percent : {100, 125, 150, 175, 200})
            QTest::newRow(qPrintable(QStringLiteral("%1%").arg(percent))) << percent / 100.0;
    }
    void face()
    {
        QFETCH(qreal, scale);
        QVERIFY(QDir(home->path()).mkpath(QStringLiteral("TovikAIO/Files/1.0"))); // the folder, not the file
        open(catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/setup.exe")));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QScreen *screen
                = window->screen(); // its own DPI, whatever Qt makes of it: Windows' setting, X11's pixels per inch
#ifdef Q_OS_WIN
        struct Dc
        {
            HDC handle = GetDC(nullptr);
            ~Dc() { ReleaseDC(nullptr, handle); }
        };
        const qreal dpi = GetDeviceCaps(Dc().handle, LOGPIXELSX);
#else
        const qreal dpi = screen->physicalDotsPerInch() * screen->devicePixelRatio();
#endif
        if (qAbs(dpi - 96 * scale) > 1)
            QSKIP(qPrintable(QStringLiteral("the display is at %1 dpi").arg(dpi)));
        const QSize shown = screen->grabWindow(window->winId()).size();
        QStringList seen {QStringLiteral("window %1x%2%3")
                                  .arg(shown.width())
                                  .arg(shown.height())
                                  .arg(window->minimumSize() == window->maximumSize() ? " fixed" : "")};
        for (QWidget *widget : window->findChildren<QWidget *>(QRegularExpression(QStringLiteral("^(label|cb|btn)")))) {
            const QString text
                    = widget->property(qobject_cast<QComboBox *>(widget) ? "currentText" : "text").toString();
            int room = widget->contentsRect().width(), needed = widget->fontMetrics().horizontalAdvance(text);
            const bool tahoma = widget->font().family() == QLatin1String("Tahoma") && widget->font().pointSize() == 10;
            QString flaws
                    = QLatin1String(tahoma ? " Tahoma" : "") + QLatin1String(widget->isEnabled() ? "" : " disabled");
            if (auto *button = qobject_cast<QPushButton *>(widget)) {
                QStyleOptionButton option;
                option.initFrom(button);
                room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
                needed += button->iconSize().width() + 4; // Qt puts 4 pixels between a button's icon and its text
                if (scale > 1
                    && button->icon().pixmap(window->windowHandle(), button->iconSize()).devicePixelRatio() <= 1)
                    flaws += QStringLiteral(" blurred");
            }
            const QRect r = widget->geometry();
            seen << QStringLiteral("%1 %2,%3 %4x%5%6: ")
                                    .arg(widget->objectName())
                                    .arg(r.x())
                                    .arg(r.y())
                                    .arg(r.width())
                                    .arg(r.height())
                                    .arg(flaws + (needed > room ? QStringLiteral(" cut") : QString()))
                            + text;
        }
        QCOMPARE(seen,
                 (QStringList {QStringLiteral("window %1x%2 fixed").arg(qRound(520 * scale)).arg(qRound(290 * scale)),
                               "label 14,17 61x16 Tahoma: Phần mềm", "cbName 78,12 411x25 Tahoma: P",
                               "label_2 14,47 61x16 Tahoma: Phiên bản", "cbVer 78,42 411x25 Tahoma: 1.0",
                               "btnClose 409,199 81x31:   Đóng", "label_7 15,215 41x16: Total",
                               "label_8 15,197 41x16: Speed", "btnInstall 160,199 81x31 disabled:   Cài đặt",
                               "btnDownload 326,199 81x31:   Tải về", "label_3 13,74 61x16 Tahoma: Thông tin",
                               "label_4 13,90 61x16 Tahoma: phiên bản", "btnOpen 243,199 81x31: Thư mục"}));
    }
    // Each image, also at twice its size for scaled displays; the buttons before any choice.
    void imagesAndButtons()
    {
        // The six images, and at 2x the two that the buttons draw larger than they are on scaled displays.
        QCOMPARE(QDir(":/Icons").entryList(),
                 QStringList({"1452778310_Cancel.png", "1452863351_cross-button.png", "1452863351_cross-button@2x.png",
                              "1464039768_Folder.png", "1464039768_Folder@2x.png", "1464966328_adept_installer.png",
                              "1498635164_download.png", "TovikAIO.png"}));
        for (const QString image : {"1452863351_cross-button", "1464039768_Folder"})
            QCOMPARE(QImage(":/Icons/" + image + "@2x.png").size(), QImage(":/Icons/" + image + ".png").size() * 2);
        open(QByteArray()); // nothing to choose: the folder button asks the desktop for nothing
        QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
        QCOMPARE(desktop, QList<QUrl>());
        QTest::mouseClick(button("btnClose"), Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }
    // What the lists hold and which change lists were shown, then the face at rest. The first product is current;
    // then, when there are two, the second. Every home holds TovikAIO/Files/1/a.exe.
    void listing_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<QStringList>("products");
        QTest::addColumn<QStringList>("versions"); // of the first product
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("buttons"); // "install on/off, folder on/off" at the end
        // Links are written "http:\/\/" (JSON's escaped slash): moc reads "//" in a raw string as a comment.
        const auto json = [](const QByteArray &body) { return reply(200, body); };
        const QStringList none;
        const QString untouched = QStringLiteral("install off, folder on"); // as the face starts
        const QByteArray exact = QByteArray((8 << 20) - 8, ' ') + R"({"P":{}})", large = ' ' + exact; // 8 MiB at most
        QTest::newRow("names reversed") << json(R"({"b":{},"A":{},"a":{}})") << QStringList {"A", "a", "b"} << none
                                        << none << untouched;
        QTest::newRow("names differing in case")
                << json(R"({"b":{},"A":{"data":{"v":{"active":true,"changelist":"v"},"V":{"active":true,
                        "changelist":"V"}}},"B":{},"a":{}})")
                << QStringList {"A", "B", "a", "b"} << QStringList {"V", "v"} << QStringList {"V", "v", ""}
                << "install on, folder on"; // no version: the downloads folder itself
        QTest::newRow("UTF-16 order") << json(R"({"Ａ":{},"😀":{"data":{"Ａ":{"active":true,"changelist":"Ａ"},
                "😀":{"active":true,"changelist":"😀"}}}})")
                                      << QStringList {"😀", "Ａ"} << QStringList {"😀", "Ａ"}
                                      << QStringList {"😀", "Ａ", ""} << "install on, folder on";
        QTest::newRow("only true lists, in ordinal order")
                << json(R"({"P":{"data":{"2.0":{"active":false},"1.9":{"active":true,"changelist":"nine"},
                        "1.10":{"active":true,"changelist":"ten"},"3":{"active":"true"},"4":{"active":1},"5":{},
                        "6":{"Active":true},"7":true,"8":[{"active":true}]}}})")
                << QStringList {"P"} << QStringList {"1.10", "1.9"} << QStringList {"ten", "nine"}
                << "install off, folder off";
        QTest::newRow("switch reads the old product first")
                << json(R"({"A":{"data":{"":{"changelist":"old"},"1":{"active":true,"changelist":"a1",
                        "downloadlink":"http:\/\/h/a.exe"}}},"B":{"data":{"1":{"active":true,"changelist":"b1"},
                        "2":{"active":true,"changelist":"b2"}}}})")
                << QStringList {"A", "B"} << QStringList {"1"} << QStringList {"a1", "old", "b1", "b2"}
                << "install off, folder off";
        QTest::newRow("a product of any value, one named data")
                << json(R"({"n":1,"s":"x","data":{"data":{"1":{"active":true,"changelist":"d",
                        "downloadlink":"http:\/\/h/dl/a.exe"}}}})")
                << QStringList {"data", "n", "s"} << QStringList {"1"} << QStringList {"d", ""}
                << "install on, folder on"; // the downloads folder itself, with no version
        QTest::newRow("BOM, then a NUL and anything")
                << json(QByteArray("\xEF\xBB\xBF")
                        + R"({"P":{"data":{"1":{"active":true,"downloadlink":"http:\/\/h/dl/a.exe?b.exe",
                        "changelist":"line\n<b>not bold</b>"}}}})"
                        + QByteArray(1, 0) + "]]")
                << QStringList {"P"} << QStringList {"1"} << QStringList {"line\n<b>not bold</b>"}
                << "install on, folder on";
        QTest::newRow("a link of another type, the later of two names")
                << json(R"({"P":{"data":{"1":{"active":true,"downloadlink":"http:\/\/h/b.exe"},"1":{"active":true,
                        "downloadlink":7,"changelist":"later"}}},"P":{"data":{"1":{"active":true,"changelist":7,
                        "downloadlink":"http:\/\/h/b.exe"}}}})")
                << QStringList {"P"} << QStringList {"1"} << QStringList {""} << "install off, folder on";
        QTest::newRow("an error status with a catalogue")
                << reply(500, R"({"P":{}})") << QStringList {"P"} << none << none << untouched;
        for (const QByteArray &body : {QByteArray(R"({"P":{}} x)"), QByteArray(R"([{"P":{}}])"), QByteArray("7"),
                                       QByteArray(), QByteArray(R"({"P":{})")})
            QTest::newRow(("not an object: " + body).constData()) << json(body) << none << none << none << untouched;
        // Announced, the length alone stops it: the rest never comes. Unannounced, it is refused even whole.
        QTest::newRow("never answers") << Reply {{}, -1, true} << none << none << none << untouched; // time-out
        QTest::newRow("over 8 MiB announced")
                << Reply {reply(200, large).bytes.left(100), -1, true} << none << none << none << untouched;
        QTest::newRow("8 MiB announced") << json(exact) << QStringList {"P"} << none << none << untouched;
        QTest::newRow("8 MiB without a length")
                << Reply {chunked(exact).bytes, -1, false, 16 << 20} << QStringList {"P"} << none << none << untouched;
        QTest::newRow("over 8 MiB without a length")
                << Reply {chunked(large).bytes, -1, false, 16 << 20} << none << none << none << untouched;
    }
    void listing()
    {
        QFETCH(Reply, answer);
        QFETCH(QStringList, products);
        QFETCH(QStringList, versions);
        QFETCH(QStringList, shown);
        QFETCH(QString, buttons);
        QVERIFY(write(QStringLiteral("TovikAIO/Files/1/a.exe"), "a"));
        QElapsedTimer clock;
        clock.start();
        open(answer); // one announced too large is stopped at its headers, long before its silence would time out
        QVERIFY(!answer.stall || answer.bytes.isEmpty() || clock.elapsed() < 1000);
        for (const auto &[name, expected] : {std::make_pair("cbName", products), std::make_pair("cbVer", versions)}) {
            QStringList items;
            for (int i = 0; i < combo(name)->count(); ++i)
                items << combo(name)->itemText(i);
            QCOMPARE(items, expected);
        }
        if (products.size() > 1)
            combo("cbName")->setCurrentIndex(1);
        QCOMPARE(changesShown, shown);
        // A catalogue is read in silence; the face stays as it started but for the two file buttons.
        verifyFace({false, buttons.contains("install on"), buttons.contains("folder on"), QString(),
                    QStringLiteral(": 0.00 KB/ 0.00 KB")});
        QCOMPARE(boxes.size(), 0);
    }
};
QTEST_MAIN(FaceAndCatalogueTest)
#include "tst_face_and_catalogue.moc"
