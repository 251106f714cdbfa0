#include "LocalHttpServer.h"

#include <QTcpSocket>

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

void LocalHttpServer::serve(QTcpSocket* socket)
{
    const QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", received);
    if (!received.contains("\r\n\r\n"))
        return;
    targets_ << received.split(' ').value(1);
    if (response_.isEmpty())
        return;
    socket->write(response_);
    socket->disconnectFromHost();
}
