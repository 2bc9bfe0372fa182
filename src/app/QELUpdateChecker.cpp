#include "QELUpdateChecker.h"

#include "LocalizedStrings.h"
#include "Log.h"
#include "QELUpdateCheckerDelegate.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>

#include <algorithm>

namespace {

// The version file is one short line; anything much longer is not one.
constexpr qsizetype kMaxBodySize = 64 * 1024;

std::optional<QList<quint64>> parseVersion(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QList<quint64> numbers;
    for (const QString& part : trimmed.split(QLatin1Char('.'))) {
        if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            }))
            return std::nullopt;
        bool ok = false;
        const quint64 number = part.toULongLong(&ok);
        if (!ok)
            return std::nullopt;
        numbers.append(number);
    }
    return numbers;
}

} // namespace

QELUpdateChecker::QELUpdateChecker(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_url(defaultVersionFileUrl())
{
}

QELUpdateChecker::~QELUpdateChecker() { dropReply(); }

QUrl QELUpdateChecker::defaultVersionFileUrl()
{
    const QString host = QSettings().value(QLatin1String(kUpdateHostKey), QLatin1String(kDefaultUpdateHost)).toString();
    QUrl url(L("VERSIONFILEURL"));
    url.setHost(host.trimmed());
    return url;
}

std::optional<int> QELUpdateChecker::compareVersions(const QString& a, const QString& b)
{
    const std::optional<QList<quint64>> first = parseVersion(a);
    const std::optional<QList<quint64>> second = parseVersion(b);
    if (!first || !second)
        return std::nullopt;
    const qsizetype length = std::max(first->size(), second->size());
    for (qsizetype i = 0; i < length; ++i) {
        const quint64 x = i < first->size() ? first->at(i) : 0;
        const quint64 y = i < second->size() ? second->at(i) : 0;
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

void QELUpdateChecker::startCheckingForUpdate()
{
    dropReply();
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // A time-out of 0 would mean none at all.
    request.setTransferTimeout(std::max(1, static_cast<int>(Clock::scaled(m_timeout).count())));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &QELUpdateChecker::handleResponse);
    connect(m_reply, &QNetworkReply::readyRead, this, &QELUpdateChecker::handleData);
    connect(m_reply, &QNetworkReply::finished, this, &QELUpdateChecker::handleFinished);
}

void QELUpdateChecker::handleResponse()
{
    if (!m_reply)
        return;
    m_receivedData.clear();
    const QString contentType = m_reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QString mimeType = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    if (!mimeType.startsWith(QLatin1String("text"))) {
        qCWarning(lcOrvane) << "The version file at" << m_url.toString() << "is not text:" << contentType;
        fail();
    }
}

void QELUpdateChecker::handleData()
{
    if (!m_reply)
        return;
    m_receivedData += m_reply->readAll();
    if (m_receivedData.size() > kMaxBodySize) {
        qCWarning(lcOrvane) << "The version file at" << m_url.toString() << "is too long";
        fail();
    }
}

void QELUpdateChecker::handleFinished()
{
    if (!m_reply)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        qCWarning(lcOrvane).noquote()
            << QStringLiteral("Failed to load  at %1, %2").arg(m_url.toString(), m_reply->errorString());
        fail();
        return;
    }
    m_receivedData += m_reply->readAll();
    const QByteArray body = m_receivedData;
    dropReply();

    const bool ascii = std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::optional<int> comparison = ascii
        ? compareVersions(QString::fromLatin1(body), QCoreApplication::applicationVersion())
        : std::nullopt;
    if (!m_delegate)
        return;
    if (!comparison) {
        qCWarning(lcOrvane) << "The version file at" << m_url.toString() << "holds no version number";
        m_delegate->OnUpdateCheckFailed();
        return;
    }
    m_delegate->OnUpdateCheckReturnsWithUpdateAvailable(*comparison > 0);
}

void QELUpdateChecker::dropReply()
{
    m_receivedData.clear();
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void QELUpdateChecker::fail()
{
    dropReply();
    if (m_delegate)
        m_delegate->OnUpdateCheckFailed();
}
