#include "LocalHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

QString LocalHttpServer::address() const
{
    return QString("http://127.0.0.1:%1").arg(serverPort());
}

void LocalHttpServer::answer(int status, const QByteArray& body, const QByteArray& contentType)
{
    response_ = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Type: " + contentType +
                "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void LocalHttpServer::drip(int status, const QByteArray& body, int intervalMs)
{
    answer(status, body);
    dripMs_ = intervalMs;
}

void LocalHttpServer::serve(QTcpSocket* socket)
{
    const QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", received);
    if (!received.contains("\r\n\r\n"))
        return;
    targets_ << received.split(' ').value(1);
    if (response_.isEmpty())
        return;
    if (dripMs_ > 0) {
        const qsizetype bodyAt = response_.indexOf("\r\n\r\n") + 4;
        socket->write(response_.left(bodyAt));
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, timer, rest = response_.mid(bodyAt)]() mutable {
            if (rest.isEmpty()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(rest.left(1));
            rest.remove(0, 1);
        });
        timer->start(dripMs_);
        return;
    }
    socket->write(response_);
    socket->disconnectFromHost();
}
