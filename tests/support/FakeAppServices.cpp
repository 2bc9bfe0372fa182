#include "FakeAppServices.h"

#include <QDir>
#include <QFile>

#include "FakeDevice.h"
#include "FakeWire.h"
#include "Plist.h"

namespace {

constexpr quint32 kMaxMessage = 1 << 20;

bool receive(int fd, FakeProtocolLog& log, const char* service, QVariantMap* message)
{
    unsigned char prefix[4];
    if (!FakeWire::readExact(fd, prefix, sizeof(prefix)))
        return false;
    const quint32 length = (quint32(prefix[0]) << 24) | (quint32(prefix[1]) << 16)
        | (quint32(prefix[2]) << 8) | quint32(prefix[3]);
    QByteArray body(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (length == 0 || length > kMaxMessage || !FakeWire::readExact(fd, body.data(), length)) {
        log.fail(
            QStringLiteral("%1: bad message length %2").arg(QLatin1String(service)).arg(length));
        return false;
    }
    const QVariant parsed = Plist::parse(body);
    if (parsed.typeId() != QMetaType::QVariantMap) {
        log.fail(QStringLiteral("%1: not a dictionary").arg(QLatin1String(service)));
        return false;
    }
    *message = parsed.toMap();
    return true;
}

bool send(int fd, const QVariantMap& reply)
{
    const QByteArray body = Plist::serialize(reply, Plist::Format::Xml);
    const quint32 length = static_cast<quint32>(body.size());
    const char prefix[4] = {char(length >> 24), char(length >> 16), char(length >> 8),
                            char(length)};
    return FakeWire::writeAll(fd, prefix, sizeof(prefix)) && FakeWire::writeAll(fd, body);
}

} // namespace

FakeAppServices::FakeAppServices(FakeDevice& device, FakeProtocolLog& log)
    : m_device(device)
    , m_log(log)
{
}

void FakeAppServices::serveInstallationProxy(int fd)
{
    QVariantMap request;
    while (receive(fd, m_log, "installation_proxy", &request)) {
        const QString command = request.value(QStringLiteral("Command")).toString();
        const QVariantMap options = request.value(QStringLiteral("ClientOptions")).toMap();
        if (command == QLatin1String("Lookup")) {
            m_device.recordAppServiceRequest(command);
            const QStringList wanted =
                options.value(QStringLiteral("ReturnAttributes")).toStringList();
            QVariantMap result;
            const QVariantMap apps = m_device.apps();
            for (auto it = apps.cbegin(); it != apps.cend(); ++it) {
                QVariantMap entry;
                const QVariantMap attributes = it.value().toMap();
                for (const QString& key : wanted)
                    if (attributes.contains(key))
                        entry.insert(key, attributes.value(key));
                result.insert(it.key(), entry);
            }
            if (!send(fd,
                      {{QStringLiteral("LookupResult"), result},
                       {QStringLiteral("Status"), QStringLiteral("Complete")}}))
                return;
            continue;
        }
        QString argument;
        if (command == QLatin1String("Install"))
            argument = request.value(QStringLiteral("PackagePath")).toString();
        else if (command == QLatin1String("Uninstall") || command == QLatin1String("Archive")
                 || command == QLatin1String("RemoveArchive"))
            argument = request.value(QStringLiteral("ApplicationIdentifier")).toString();
        else {
            m_log.fail(QStringLiteral("installation_proxy: unknown command \"%1\"").arg(command));
            return;
        }
        if (argument.isEmpty())
            m_log.fail(QStringLiteral("installation_proxy: %1 without its argument").arg(command));
        if (command == QLatin1String("Archive")
            && (options.value(QStringLiteral("SkipUninstall")).typeId() != QMetaType::Bool
                || !options.value(QStringLiteral("SkipUninstall")).toBool()
                || options.value(QStringLiteral("ArchiveType")).toString()
                    != QLatin1String("ApplicationOnly")))
            m_log.fail(QStringLiteral(
                "installation_proxy: Archive without SkipUninstall and ApplicationOnly"));
        m_device.recordAppServiceRequest(command + QLatin1Char(' ') + argument);
        const QString ending = m_device.takeAppServiceAnswer();
        for (int percent : {20, 60})
            if (!send(fd,
                      {{QStringLiteral("Status"), QStringLiteral("InProgress")},
                       {QStringLiteral("PercentComplete"), percent}}))
                return;
        if (ending == QLatin1String("Cut"))
            return;
        if (ending == QLatin1String("Error")) {
            if (!send(fd,
                      {{QStringLiteral("Error"), QStringLiteral("APIInternalError")},
                       {QStringLiteral("ErrorDescription"), QStringLiteral("scripted failure")}}))
                return;
            continue;
        }
        const QString archive = m_device.afcRoot() + QStringLiteral("/ApplicationArchives/")
            + argument + QStringLiteral(".zip");
        if (command == QLatin1String("Archive") && !argument.contains(QLatin1Char('/'))) {
            QDir().mkpath(m_device.afcRoot() + QStringLiteral("/ApplicationArchives"));
            QFile file(archive);
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArrayLiteral("PK\x03\x04 archive of ") + argument.toUtf8());
        } else if (command == QLatin1String("RemoveArchive")
                   && !argument.contains(QLatin1Char('/'))) {
            QFile::remove(archive);
        }
        if (!send(fd, {{QStringLiteral("Status"), ending}}))
            return;
    }
}

void FakeAppServices::serveSpringBoard(int fd)
{
    QVariantMap request;
    while (receive(fd, m_log, "springboardservices", &request)) {
        const QString command = request.value(QStringLiteral("command")).toString();
        if (command != QLatin1String("getIconPNGData")) {
            m_log.fail(QStringLiteral("springboardservices: unknown command \"%1\"").arg(command));
            return;
        }
        const QString id = request.value(QStringLiteral("bundleId")).toString();
        m_device.recordAppServiceRequest(command + QLatin1Char(' ') + id);
        const QByteArray png = m_device.icon(id);
        QVariantMap reply;
        if (!png.isEmpty())
            reply.insert(QStringLiteral("pngData"), png);
        if (!send(fd, reply))
            return;
    }
}
