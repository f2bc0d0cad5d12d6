#pragma once

#include "http_message.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

// Writes one response to a connected socket: framing, pacing and
// back-pressure. It lives as a child of the socket and dies with it.
class ResponseStream : public QObject
{
    Q_OBJECT

public:
    ResponseStream(QTcpSocket *socket, const HttpResponse &response);
    void start();

private:
    void pump();
    void onTick();
    qint64 nextPieceSize() const;
    void writePiece(qint64 size);
    void finish();
    QByteArray head() const;

    QTcpSocket *m_socket;
    HttpResponse m_response;
    QTimer m_pace;
    qint64 m_sent = 0;
    qint64 m_allowance = 0;
    bool m_finished = false;
};
