// The face at every display scaling; the catalogue's lists, and the folder and install buttons each choice sets.
#include "display_scaling.h"
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
Q_DECLARE_METATYPE(Reply)
// A catalogue's answer, its JSON written with ' for " and {ON for {'active':true.
Reply answer(const QByteArray &json)
{
    return reply(200, QByteArray(json).replace("{ON", "{'active':true").replace('\'', '"'));
}
class FaceAndCatalogueTest : public Fixture
{
    Q_OBJECT
    QComboBox *combo(const char *name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }
    // What a user sees: each product chosen in turn, as its name, [its versions] and each change list shown
    // meanwhile; then what the folder and the install buttons hand the desktop ("off": disabled; "~/": the
    // downloads folder, HOME/TovikAIO/Files/, which both test once a product without versions is chosen).
    QString seen()
    {
        QStringList lines, opened;
        for (int i = 0; i < combo("cbName")->count(); ++i) {
            combo("cbName")->setCurrentIndex(i);
            QStringList line {combo("cbName")->currentText()}, versions;
            for (int v = 0; v < combo("cbVer")->count(); ++v)
                versions << combo("cbVer")->itemText(v);
            line << '[' + versions.join(' ') + ']';
            for (const QString &text : qExchange(changesShown, {}))
                line << '\'' + text + '\'';
            lines << line.join(' ');
        }
        for (const char *name : {"btnOpen", "btnInstall"}) {
            QTest::mouseClick(button(name), Qt::LeftButton);
            const QUrl url = qExchange(desktop, {}).value(0);
            opened << (!button(name)->isEnabled() ? "off"
                               : url.isEmpty()    ? "nothing"
                                                  : url.toDisplayString(QUrl::PreferLocalFile));
        }
        return (lines << opened.join(" and ")).join(" | ").replace(home->path() + "/TovikAIO/Files/", "~/");
    }

public:
    static void initMain() { enableDisplayScaling(); } // before the application object, as the program does
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
    // The images; the face at each display scaling, in logical pixels: a row runs where
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
        QCOMPARE(QDir(":/Icons").entryList(), // the six images, and at 2x the two the buttons draw larger than they are
                 QStringList({"1452778310_Cancel.png", "1452863351_cross-button.png", "1452863351_cross-button@2x.png",
                              "1464039768_Folder.png", "1464039768_Folder@2x.png", "1464966328_adept_installer.png",
                              "1498635164_download.png", "TovikAIO.png"}));
        open(catalogueWith("1.0", "http://files.example/dl/setup.exe"));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QScreen *screen = window->screen(); // its own DPI: Windows' setting, X11's pixels per inch
#ifdef Q_OS_WIN
        const qreal dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSX); // the screen's, kept till the end
#else
        const qreal dpi = screen->physicalDotsPerInch() * screen->devicePixelRatio();
#endif
        if (qAbs(dpi - 96 * scale) > 1)
            QSKIP(qPrintable(QStringLiteral("the display is at %1 dpi").arg(dpi)));
        const QSize size = screen->grabWindow(window->winId()).size();
        const bool fixed = window->minimumSize() == window->maximumSize();
        QStringList seen {QString::asprintf("window %dx%d%s", size.width(), size.height(), fixed ? " fixed" : "")};
        for (QWidget *widget : window->findChildren<QWidget *>(QRegularExpression("^(label|cb|btn)"))) {
            const QString text
                    = widget->property(qobject_cast<QComboBox *>(widget) ? "currentText" : "text").toString();
            int room = widget->contentsRect().width(), needed = widget->fontMetrics().horizontalAdvance(text);
            const bool tahoma = widget->font().family() == "Tahoma" && widget->font().pointSize() == 10;
            QString flaws = QString(tahoma ? " Tahoma" : "") + (widget->isEnabled() ? "" : " disabled");
            if (auto *button = qobject_cast<QPushButton *>(widget)) {
                QStyleOptionButton option;
                option.initFrom(button);
                room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
                needed += button->iconSize().width() + 4; // Qt puts 4 pixels between a button's icon and its text
                if (scale > 1
                    && button->icon().pixmap(window->windowHandle(), button->iconSize()).devicePixelRatio() <= 1)
                    flaws += " blurred";
            }
            const QRect r = widget->geometry();
            seen << QString::asprintf("%s %d,%d %dx%d", qPrintable(widget->objectName()), r.x(), r.y(), r.width(),
                                      r.height())
                            + flaws + (needed > room ? " cut: " : ": ") + text;
        }
        QCOMPARE(seen,
                 (QStringList {QStringLiteral("window %1x%2 fixed").arg(qRound(520 * scale)).arg(qRound(290 * scale)),
                               "label 14,17 61x16 Tahoma: Phần mềm", "cbName 78,12 411x25 Tahoma: P",
                               "label_2 14,47 61x16 Tahoma: Phiên bản", "cbVer 78,42 411x25 Tahoma: 1.0",
                               "btnClose 409,199 81x31:   Đóng", "label_7 15,215 41x16: Total",
                               "label_8 15,197 41x16: Speed", "btnInstall 160,199 81x31 disabled:   Cài đặt",
                               "btnDownload 326,199 81x31:   Tải về", "label_3 13,74 61x16 Tahoma: Thông tin",
                               "label_4 13,90 61x16 Tahoma: phiên bản", // no folder yet
                               "btnOpen 243,199 81x31 disabled: Thư mục"}));
        // A download under way: its bar lies whole in the window, under no other widget, and is drawn.
        const QByteArray half = reply(200, QByteArray(1000, 'x')).bytes;
        server.on("/dl/setup.exe", Reply {half, half.size() - 500, true});
        clickDownload();
        QTRY_COMPARE(bar()->value(), 500);
        const QRect barRect(bar()->mapTo(window.get(), QPoint()), bar()->size());
        QVERIFY(window->rect().contains(barRect));
        for (QWidget *widget : window->findChildren<QWidget *>())
            if (widget->isVisible() && !widget->isWindow() && !bar()->isAncestorOf(widget)) {
                const QRect r(widget->mapTo(window.get(), QPoint()), widget->size());
                QVERIFY2(widget->isAncestorOf(bar()) ? r.contains(barRect) : !r.intersects(barRect),
                         qPrintable(widget->objectName()));
            }
        const auto shown = [&](qreal along) {
            const QPointF point(barRect.x() + barRect.width() * along, barRect.center().y());
            return screen->grabWindow(window->winId()).toImage().pixel((point * scale).toPoint());
        };
        QTRY_VERIFY(shown(0.25) != shown(0.75)); // the filled half, then the empty one
    }
    void catalogue_data()
    {
        QTest::addColumn<Reply>("catalogue");
        QTest::addColumn<QString>("seen");
        const QString untouched = "nothing and off"; // the face as it starts, before any choice
        const QByteArray exact = QByteArray((8 << 20) - 8, ' ') + R"({"P":{}})"; // 8 MiB = 8 * 1024 * 1024 bytes
        const auto one = [](const char *version, const char *link) { return answer(catalogueWith(version, link)); };
        const char *setup = "http://h/dl/set%20up.exe?a.exe#b.exe";
        QTest::newRow("ordinal order: upper case first, UTF-16 code units")
                << answer("{'b':{},'A':{'data':{'v':{ON,'changelist':'v'},'V':{ON,'changelist':'V'}}},'B':{},'a':{},"
                          "'Ａ':{},'😀':{'data':{'Ａ':{ON},'😀':{ON}}}}")
                << "A [V v] 'V' 'v' | B [] '' | a [] | b [] | 😀 [😀 Ａ] '' '' | Ａ [] '' | ~/ and ~//";
        QTest::newRow("only the boolean true lists; 1.10 before 1.9")
                << answer("{'P':{'data':{'1.9':{ON,'changelist':'nine'},'1.10':{ON,'changelist':'ten'},"
                          "'2':{'active':false},'3':{'active':'true'},'4':{'active':1},'5':{'active':null},"
                          "'6':{'Active':true},'7':{'active':[true]},'8':{},'9':true,'A':[{ON}],'B':'active'}}}")
                << "P [1.10 1.9] 'ten' 'nine' | off and off";
        QTest::newRow("a product of any value is listed; only an object data holds versions")
                << answer("{'n':1,'s':'x','data':{'data':{'1':{ON}}},"
                          "'a':{'data':[{ON}]},'b':{'data':'1'},'c':{'data':1}}")
                << "a [] | b [] | c [] | data [1] '' | n [] '' | s [] | ~/ and ~//";
        QTest::newRow("change lists: plain text; 7 or true as none; later names win; the product left shown first")
                << answer("{'P':{},'P':{'data':{'':{'changelist':'P'},"
                          "'1':{ON,'changelist':'x','changelist':'1\\n<b>2</b>'}}},"
                          "'Q':{'data':{'1':{ON,'changelist':7}}},"
                          "'R':{'data':{'1':{ON,'changelist':true},'2':{ON,'active':false}}}}")
                << "P [1] '1\n<b>2</b>' | Q [1] 'P' '' | R [1] '' '' | off and off";
        QTest::newRow("an error status, a BOM, then an object, a NUL and anything")
                << reply(500, "\xEF\xBB\xBF{\"P\":{}}" + QByteArray(1, 0) + "]]") << "P [] | nothing and off";
        for (const QByteArray &body :
             {QByteArray("{'P':{}} x"), QByteArray("[{'P':{}}]"), QByteArray("7"), QByteArray("'P'"), QByteArray(),
              QByteArray("{'P':{}"), "{'P':{}" + QByteArray(1, 0) + "}"})
            QTest::newRow(("not an object: " + body).constData()) << answer(body) << untouched;
        // Announced, the length alone stops it: the rest never comes. Unannounced, it is refused even whole.
        QTest::newRow("over 8 MiB announced") << Reply {reply(200, exact + ' ').bytes.left(100), -1, true} << untouched;
        QTest::newRow("8 MiB announced") << reply(200, exact) << "P [] | nothing and off";
        QTest::newRow("8 MiB unannounced")
                << Reply {chunked(exact).bytes, -1, false, 16 << 20} << "P [] | nothing and off";
        QTest::newRow("over 8 MiB unannounced, ended before it can be stopped")
                << Reply {chunked(exact + ' ').bytes, -1, false, 0, true} << untouched;
        QTest::newRow("the file saved, its name decoded")
                << one("1.0", setup) << "P [1.0] 'notes' | ~/1.0 and ~/1.0/set up.exe";
        QTest::newRow("neither") << one("3.0", setup) << "P [3.0] 'notes' | off and off";
        QTest::newRow("its folder alone") << one("2.0", setup) << "P [2.0] 'notes' | ~/2.0 and off";
        QTest::newRow("a link ending in /: the folder itself")
                << one("2.0", "http://h/dl/") << "P [2.0] 'notes' | ~/2.0 and ~/2.0/";
        QTest::newRow("a link ending in /, no folder") << one("3.0", "http://h/dl/") << "P [3.0] 'notes' | off and off";
        QTest::newRow("a link that is a number counts as none")
                << answer("{'P':{'data':{'2.0':{ON,'downloadlink':7}}}}") << "P [2.0] '' | ~/2.0 and ~/2.0/";
        QTest::newRow("names next to the refused ones")
                << one("..1/COM10 a", "http://h/CONSOLE.exe")
                << "P [..1/COM10 a] 'notes' | ~/..1/COM10 a and ~/..1/COM10 a/CONSOLE.exe";
        QTest::newRow("two products share a version's folder")
                << answer("{'A':{'data':{'1.0':{ON,'downloadlink':'http://a/set%20up.exe'}}},"
                          "'B':{'data':{'1.0':{ON,'downloadlink':'http://b/x/set%20up.exe'}}}}")
                << "A [1.0] '' | B [1.0] '' '' | ~/1.0 and ~/1.0/set up.exe";
        QTest::newRow("a server that never answers") << Reply {{}, -1, true} << untouched;
    }
    void catalogue()
    {
        QFETCH(Reply, catalogue);
        QFETCH(QString, seen);
        for (const QString file : {"1.0/set up.exe", "2.0/7", "..1/COM10 a/CONSOLE.exe"}) // in every home
            QVERIFY(write("TovikAIO/Files/" + file, "MZ"));
        const qint64 start = server.now();
        open(catalogue); // one announced too large is stopped at its headers, long before its silence would time out
        QVERIFY(!catalogue.stall || catalogue.bytes.isEmpty() || server.now() - start < 1000);
        QCOMPARE(this->seen(), seen);
        verifyFace({false, !seen.endsWith("and off"), !seen.contains(QRegularExpression("(^| )off and")), QString(),
                    ": 0.00 KB/ 0.00 KB"});
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(server.requests.size(), 1); // the catalogue, once: never again, even after a failure
        QTest::mouseClick(button("btnClose"), Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }
};
QTEST_MAIN(FaceAndCatalogueTest)
#include "tst_face_and_catalogue.moc"
