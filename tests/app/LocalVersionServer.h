#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <gtest/gtest.h>

// A one-file HTTP server on 127.0.0.1: answers every request with the given
// response, or, when silent, reads the request and never answers.
class VersionServer : public QObject {
public:
    VersionServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n") || silent)
                        return;
                    ++requests;
                    socket->write(response);
                    socket->disconnectFromHost();
                });
            }
        });
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/versioning/orvane11/mac.txt").arg(m_server.serverPort()));
    }

    static QByteArray answer(const QByteArray& status, const QByteArray& contentType, const QByteArray& body)
    {
        QByteArray text = "HTTP/1.1 " + status + "\r\n";
        if (!contentType.isEmpty())
            text += "Content-Type: " + contentType + "\r\n";
        text += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        return text;
    }

    QByteArray response;
    bool silent = false;
    int requests = 0;

private:
    QTcpServer m_server;
    QByteArray m_request;
};
