// Arbitrary bytes as the catalogue reply of the real window: the window
// reads them from a local HTTP server, then every listed product and every
// version is chosen through the combo boxes, and what the folder and install
// actions would open is checked against the downloads folder. Downloads are
// never started.
//
// Built with libFuzzer when TOVIK_FUZZ is on; every build also links it with
// a small main that replays the committed inputs as a test.

#include "local_http_server.h"
#include "safe_names.h"
#include "tovik_all_in_one.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray CataloguePath = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";
// A catalogue that never arrives is a fault of its own, not a slow input.
const int CatalogueTimeoutMs = 10000;

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "catalogue fuzzer: %s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

// Takes what the window hands to the desktop instead of opening it.
class DesktopRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

struct Fixture
{
    QTemporaryDir root;
    QString home;
    QString downloads; // home + "/TovikAIO/Files", no trailing slash
    QStringList tree;  // everything under root before an input
    LocalHttpServer server;
    DesktopRecorder desktop;
};

Fixture *fixture = nullptr;

QStringList treeUnder(const QString &path)
{
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList found;
    while (it.hasNext())
        found.append(it.next());
    found.sort();
    return found;
}

bool insideDownloads(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    return clean == fixture->downloads || clean.startsWith(fixture->downloads + QLatin1Char('/'));
}

// The local path behind a URL handed to the desktop: a file URL's own path,
// or the decoded path of a URL without a scheme, as a desktop would read it.
QString localPathOf(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
}

QString openedBy(Tovik_all_in_one &window, const char *slot)
{
    fixture->desktop.urls.clear();
    if (!QMetaObject::invokeMethod(&window, slot))
        fail("no such slot", QString::fromLatin1(slot));
    return fixture->desktop.urls.isEmpty() ? QString() : localPathOf(fixture->desktop.urls.constFirst());
}

void checkVersion(Tovik_all_in_one &window, const QString &version)
{
    const auto *open = window.findChild<QPushButton *>(QStringLiteral("btnOpen"));
    const auto *install = window.findChild<QPushButton *>(QStringLiteral("btnInstall"));
    const bool safe = SafeNames::isSafeVersionName(version);

    // An accepted name never climbs out of the downloads folder.
    if (safe && !insideDownloads(fixture->downloads + QLatin1Char('/') + version))
        fail("accepted version name leaves the downloads folder", version);
    // A refused name is never looked up on disk, so nothing can be opened.
    if (!safe && (open->isEnabled() || install->isEnabled()))
        fail("file actions enabled for a refused version name", version);
    // What the folder action opens for an accepted name stays inside.
    const QString folder = openedBy(window, "on_btnOpen_clicked");
    if (safe && !folder.isEmpty() && !insideDownloads(folder))
        fail("folder action opens outside the downloads folder", folder);
    const QString file = openedBy(window, "on_btnInstall_clicked");
    if (install->isEnabled() && !insideDownloads(file))
        fail("install action enabled for a file outside the downloads folder", file);
}

void walk(Tovik_all_in_one &window)
{
    auto *products = window.findChild<QComboBox *>(QStringLiteral("cbName"));
    auto *versions = window.findChild<QComboBox *>(QStringLiteral("cbVer"));
    for (int p = 0; p < products->count(); ++p) {
        products->setCurrentIndex(p);
        if (versions->currentIndex() != versions->count() - 1)
            fail("the last version is not the current one", products->itemText(p));
        checkVersion(window, versions->currentText());
        for (int v = 0; v < versions->count(); ++v) {
            versions->setCurrentIndex(v);
            checkVersion(window, versions->currentText());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("http_proxy");
    // Kept for the life of the process, as the one application object.
    new QApplication(*argc, *argv);

    fixture = new Fixture;
    if (!fixture->root.isValid() || !fixture->server.listen())
        fail("set-up", QStringLiteral("no temporary folder or no loopback port"));
    fixture->home = fixture->root.filePath(QStringLiteral("home/user"));
    fixture->downloads = fixture->home + QStringLiteral("/TovikAIO/Files");
    qputenv("HOME", QFile::encodeName(fixture->home));
    // Things that a name climbing out would find: a version folder with a
    // file, a sibling of the downloads folder, the home and beyond it.
    for (const QString &folder : {QStringLiteral("home/user/TovikAIO/Files/1.0"), QStringLiteral("home/user/TovikAIO/x"),
                                  QStringLiteral("home/user/secret"), QStringLiteral("outside")}) {
        QDir().mkpath(fixture->root.filePath(folder));
        QFile file(fixture->root.filePath(folder + QStringLiteral("/setup.exe")));
        if (!file.open(QIODevice::WriteOnly) || file.write("MZ") != 2)
            fail("set-up", file.fileName());
    }
    fixture->tree = treeUnder(fixture->root.path());
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), fixture->server.port()));
    for (const QString &scheme : {QString(), QStringLiteral("file")})
        QDesktopServices::setUrlHandler(scheme, &fixture->desktop, "open");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    fixture->server.serve(CataloguePath, HttpResponse::content(body, "text/plain"));
    fixture->server.clearRequests();
    {
        Tovik_all_in_one window;
        auto *manager = window.findChild<QNetworkAccessManager *>();
        QEventLoop loop;
        bool arrived = false;
        // Connected after the window's own slot, so it runs once the reply is read.
        QObject::connect(manager, &QNetworkAccessManager::finished, &loop, [&] {
            arrived = true;
            loop.quit();
        });
        QTimer::singleShot(CatalogueTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (!arrived)
            fail("catalogue never arrived", QString::number(size));
        walk(window);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (treeUnder(fixture->root.path()) != fixture->tree)
        fail("the file system changed", treeUnder(fixture->root.path()).join(QLatin1Char('\n')));
    return 0;
}

#include "catalogue_fuzzer.moc"
