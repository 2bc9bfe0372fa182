// SPDX-License-Identifier: GPL-3.0-or-later
// Artwork bytes from a local file or a web address.
#include <functional>

#include <gtest/gtest.h>

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "Locations.h"
#include "QELImageData.h"
#include "TagTestSupport.h"

namespace {

QByteArray bytesOf(const TagLib::ByteVector& vector)
{
    return QByteArray(vector.data(), static_cast<qsizetype>(vector.size()));
}

// Answers every request on this thread (the download's own event loop runs it).
class TinyHttpServer {
public:
    // Null answer: the connection is accepted and never answered.
    explicit TinyHttpServer(std::function<QByteArray(const QByteArray& request)> answer)
        : m_answer(std::move(answer))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    ++requests;
                    const QByteArray response = m_answer(request);
                    if (!response.isNull()) {
                        socket->write(response);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    QString address(const char* scheme, const char* file) const
    {
        return QStringLiteral("%1://127.0.0.1:%2/%3")
            .arg(QLatin1String(scheme))
            .arg(m_server.serverPort())
            .arg(QLatin1String(file));
    }
    int requests = 0;

private:
    QTcpServer m_server;
    std::function<QByteArray(const QByteArray&)> m_answer;
};

QByteArray okResponse(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TEST(ImageData, ReadsALocalFileWhole)
{
    QTemporaryDir dir;
    // "http" inside the path is no address: only a path that begins with it is.
    ASSERT_TRUE(QDir(dir.path()).mkpath("http:"));
    const QString file = dir.filePath("http:/cover.png");
    const QByteArray png = TagTest::imageBytes("PNG");
    ASSERT_TRUE(AudioFixture::writeFile(file, png));
    EXPECT_EQ(bytesOf(QELImageData::imageDataFromImageAtPath(file)), png);

    const QString empty = dir.filePath("empty.png");
    ASSERT_TRUE(AudioFixture::writeFile(empty, {}));
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(empty).isEmpty());
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(dir.filePath("missing.png")).isEmpty());
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(QString()).isEmpty());
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(dir.path()).isEmpty());
}

TEST(ImageData, RefusesAFileAboveTheCap)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("huge.png");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    ASSERT_TRUE(out.resize(QELImageData::kMaxImageBytes + 1));
    out.close();
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(file).isEmpty());
}

TEST(ImageData, DownloadsAnAddressInAnyCaseAndKeepsNoFile)
{
    const QByteArray png = TagTest::imageBytes("PNG");
    TinyHttpServer server([&](const QByteArray& request) {
        return request.startsWith("GET /cover.png ") ? okResponse(png)
                                                     : QByteArray("HTTP/1.1 404 Not Found\r\n"
                                                                  "Content-Length: 0\r\n\r\n");
    });
    EXPECT_EQ(bytesOf(QELImageData::imageDataFromImageAtPath(server.address("HTTP", "cover.png"))),
              png);
    EXPECT_EQ(bytesOf(QELImageData::imageDataFromImageAtPath(server.address("http", "cover.png"))),
              png);
    EXPECT_TRUE(
        QELImageData::imageDataFromImageAtPath(server.address("http", "missing.png")).isEmpty());
    EXPECT_EQ(server.requests, 3);
    EXPECT_EQ(QDir(Locations::temporaryFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList());
}

TEST(ImageData, GivesUpADownloadThatTakesTooLongOrIsTooLarge)
{
    TinyHttpServer silent([](const QByteArray&) { return QByteArray(); });
    // Ten nominal seconds under the test clock.
    EXPECT_TRUE(
        QELImageData::imageDataFromImageAtPath(silent.address("http", "slow.png")).isEmpty());
    EXPECT_EQ(silent.requests, 1);

    TinyHttpServer huge([](const QByteArray&) {
        return QByteArray("HTTP/1.1 200 OK\r\nContent-Length: ")
            + QByteArray::number(QELImageData::kMaxImageBytes + 1) + "\r\n\r\n"
            + QByteArray(1024, 'x');
    });
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath(huge.address("http", "big.png")).isEmpty());
    EXPECT_TRUE(QELImageData::imageDataFromImageAtPath("http//not an address").isEmpty());
}

} // namespace
