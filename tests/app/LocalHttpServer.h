#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

// An HTTP server on 127.0.0.1 for the tests: answers every request with the
// bytes it was given (status line, headers and body), or never answers when
// none were given. Keeps the request targets it saw.
class LocalHttpServer : public QTcpServer {
    Q_OBJECT
public:
    LocalHttpServer();

    QString address() const;
    // STATUS with BODY, as "HTTP/1.1 STATUS" with its length and type.
    void answer(int status, const QByteArray& body, const QByteArray& contentType = "text/plain");
    void neverAnswer() { response_.clear(); }
    // As answer(), but after the headers one byte of the body every
    // `intervalMs` (a server that keeps a connection alive for ever).
    void drip(int status, const QByteArray& body, int intervalMs);
    const QList<QByteArray>& targets() const { return targets_; }

private:
    void serve(QTcpSocket* socket);

    QByteArray response_;
    int dripMs_ = 0;
    QList<QByteArray> targets_;
};
