// The benchmark's middle reference: the same transfer without the window.
// Qt's network access manager alone, with the read-buffer size the window
// uses, writes each piece to a plain file as it arrives. Set beside the
// window and curl, it tells what the window adds from what Qt's network
// layer costs. Prints the seconds from the request to the end of the reply.
//
//   tovik_bench_qt_download URL FILE [TIMEOUT_SECONDS]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cstdio>

namespace {

// The window's own read-buffer size.
constexpr qint64 ReadBufferSize = 1024 * 1024;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: tovik_bench_qt_download URL FILE [TIMEOUT_SECONDS]\n");
        return 1;
    }
    const int timeoutMs = (args.size() > 3 ? args.at(3).toInt() : 600) * 1000;
    QFile out(args.at(2));
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "tovik_bench_qt_download: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }

    QNetworkAccessManager manager;
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(args.at(1))));
    reply->setReadBufferSize(ReadBufferSize);
    bool written = true;
    QObject::connect(reply, &QNetworkReply::readyRead, [&] {
        const QByteArray piece = reply->readAll();
        written = written && out.write(piece) == piece.size();
    });
    QObject::connect(reply, &QNetworkReply::finished, [&] {
        const QByteArray rest = reply->readAll();
        written = written && out.write(rest) == rest.size();
        out.close();
        const bool ok = written && reply->error() == QNetworkReply::NoError;
        if (ok)
            std::printf("%.4f\n", double(clock.nsecsElapsed()) / 1e9);
        else
            std::fprintf(stderr, "tovik_bench_qt_download: %s\n", qPrintable(reply->errorString()));
        app.exit(ok ? 0 : 1);
    });
    QTimer::singleShot(timeoutMs, &app, [&] {
        std::fprintf(stderr, "tovik_bench_qt_download: no end before the time-out\n");
        app.exit(1);
    });
    return app.exec();
}
