// Arbitrary bytes as the real window's catalogue, every product and version
// chosen in turn: no crash, the last version current after a product change,
// and the file actions opening nothing outside the downloads folder (names
// that climb out find folders there to open). Linked with libFuzzer when TOVIK_FUZZ is on, else with
// the replay main below.

#include "fixture.h"
#include "tovik_all_in_one.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {

struct State : QObject
{
    Q_OBJECT
public:
    QTemporaryDir root;
    TestServer server;
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};
State *state;

void check(bool ok, const char *what, const QString &detail)
{
    if (!ok)
        qFatal("catalogue fuzzer: %s: %s", what, qPrintable(detail));
}

void checkFileActions(Tovik_all_in_one &window)
{
    const QString downloads = state->root.filePath(QStringLiteral("home/TovikAIO/Files/"));
    for (const char *action : {"btnOpen", "btnInstall"}) {
        state->opened.clear();
        window.findChild<QPushButton *>(QLatin1String(action))->click();
        for (const QUrl &url : state->opened) {
            const QString path = QDir::cleanPath(url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded));
            check(path.startsWith(downloads) || path + '/' == downloads, "opens outside the downloads folder", path);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    qRegisterMetaType<QNetworkReply *>();
    state = new State;
    setHome(state->root.filePath(QStringLiteral("home")));
    for (const char *folder : {"home/TovikAIO/Files/1.0", "home/secret"}) {
        QDir().mkpath(state->root.filePath(QLatin1String(folder)));
        QFile(state->root.filePath(QLatin1String(folder) + "/setup.exe")).open(QIODevice::WriteOnly);
    }
    QNetworkProxy::setApplicationProxy({QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), state->server.port()});
    for (const QString &scheme : {QString(), QStringLiteral("file")})
        QDesktopServices::setUrlHandler(scheme, state, "open");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    state->server.on("/mordex/files/public/client/installer/Tovik_AIO_config.txt",
                     reply(200, QByteArray(reinterpret_cast<const char *>(data), int(size))));
    {
        Tovik_all_in_one window;
        QSignalSpy read(window.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
        check(read.wait(10000), "the catalogue never arrived", QString::number(size));
        auto *products = window.findChild<QComboBox *>(QStringLiteral("cbName"));
        auto *versions = window.findChild<QComboBox *>(QStringLiteral("cbVer"));
        for (int p = 0; p < products->count(); ++p) {
            products->setCurrentIndex(p);
            check(versions->currentIndex() == versions->count() - 1, "last version not current", products->itemText(p));
            for (int v = 0; v < versions->count(); ++v) {
                versions->setCurrentIndex(v);
                checkFileActions(window);
            }
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

#ifndef TOVIK_LIBFUZZER
// Replays every file of the folders named, once each.
int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    for (const QString &folder : QCoreApplication::arguments().mid(1)) {
        check(QDir(folder).exists(), "no such folder", folder);
        for (const QFileInfo &input : QDir(folder).entryInfoList(QDir::Files)) {
            QFile file(input.filePath());
            check(file.open(QIODevice::ReadOnly), "cannot read", input.filePath());
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), size_t(bytes.size()));
        }
    }
}
#endif

#include "catalogue_fuzzer.moc"
