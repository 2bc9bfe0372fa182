#include "Plist.h"
#include "QELDeviceMessaging.h"
#include "ServiceConnection.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

class Messaging : public ::testing::Test {
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        m_ours = std::make_unique<SocketServiceConnection>(fds[0]);
        m_peer = std::make_unique<SocketServiceConnection>(fds[1]);
    }

    void peerSends(const QByteArray& bytes) { ASSERT_EQ(m_peer->send(bytes.constData(), bytes.size()), bytes.size()); }
    static QByteArray lengthField(quint32 length)
    {
        QByteArray field(4, '\0');
        qToBigEndian<quint32>(length, field.data());
        return field;
    }

    std::unique_ptr<SocketServiceConnection> m_ours;
    std::unique_ptr<SocketServiceConnection> m_peer;
};

TEST_F(Messaging, DictionaryRoundTrip)
{
    ASSERT_TRUE(QELDeviceMessaging::SendMessageToServiceSetkeysSetValuesNumberOfEntries(
        *m_ours, {"Command", "ClientOptions", "Ignored"},
        {QStringLiteral("Browse"), QVariantMap{{"ApplicationType", QStringLiteral("User")}}, qint64(1)}, 2));
    const QVariant received = QELDeviceMessaging::ReceiveMessageFromService(*m_peer);
    const QVariantMap expected{{"Command", QStringLiteral("Browse")},
                               {"ClientOptions", QVariantMap{{"ApplicationType", QStringLiteral("User")}}}};
    EXPECT_EQ(received.toMap(), expected);
}

TEST_F(Messaging, ArrayRoundTrip)
{
    ASSERT_TRUE(QELDeviceMessaging::SendMessageToServiceAsArraySetElementsNumberOfEntries(
        *m_ours, {QStringLiteral("a"), qint64(42), true}, 3));
    EXPECT_EQ(QELDeviceMessaging::ReceivePropertyListFromService(*m_peer).toList(),
              (QVariantList{QStringLiteral("a"), qint64(42), true}));
}

TEST_F(Messaging, LengthIsTheByteCountOfTheXml)
{
    const QVariantMap message{{QStringLiteral("Nämé"), QStringLiteral("Ünïcødé ✓")}};
    ASSERT_TRUE(QELDeviceMessaging::SendMessageToServiceSetkeysSetValuesNumberOfEntries(
        *m_ours, {QStringLiteral("Nämé")}, {QStringLiteral("Ünïcødé ✓")}, 1));
    char field[4];
    ASSERT_EQ(m_peer->receive(field, 4), 4);
    const QByteArray xml = Plist::serialize(message, Plist::Format::Xml);
    EXPECT_EQ(qFromBigEndian<quint32>(field), static_cast<quint32>(xml.size()));
    QByteArray body(xml.size(), '\0');
    qint64 got = 0;
    while (got < body.size())
        got += m_peer->receive(body.data() + got, body.size() - got);
    EXPECT_EQ(Plist::parse(body).toMap(), message);
}

TEST_F(Messaging, RefusesBadArguments)
{
    EXPECT_FALSE(QELDeviceMessaging::SendMessageToServiceSetkeysSetValuesNumberOfEntries(*m_ours, {"a"}, {1}, 2));
    EXPECT_FALSE(QELDeviceMessaging::SendMessageToServiceAsArraySetElementsNumberOfEntries(*m_ours, {1}, -1));
}

struct BadInput {
    const char* name;
    QByteArray bytes;
};

class BadMessages : public Messaging, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BadMessages, FailCleanly)
{
    peerSends(GetParam().bytes);
    m_peer->close();  // the peer goes away after what it sent
    EXPECT_FALSE(QELDeviceMessaging::ReceiveMessageFromService(*m_ours).isValid());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadMessages,
    ::testing::Values(BadInput{"Empty", QByteArray()}, BadInput{"ShortLength", QByteArray("\0\0", 2)},
                      BadInput{"ZeroLength", QByteArray("\0\0\0\0<plist/>", 12)},
                      BadInput{"TruncatedBody", QByteArray("\0\0\0\x64<?xml version", 17)},
                      BadInput{"NotAPlist", QByteArray("\0\0\0\x05hello", 9)},
                      // 4 GiB - 1 announced: refused before anything is allocated or read.
                      BadInput{"Oversized", QByteArray("\xff\xff\xff\xff<plist>", 11)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Messaging, OversizedLengthIsRefusedWithoutWaitingForTheBody)
{
    // The peer stays open: a reader that tried to read the body would block.
    peerSends(lengthField(QELDeviceMessaging::kMaxMessageLength + 1));
    EXPECT_FALSE(QELDeviceMessaging::ReceiveMessageFromService(*m_ours).isValid());
}

} // namespace
