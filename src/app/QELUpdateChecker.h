#pragma once

#include "Clock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QELUpdateCheckerDelegate;

// Asks the maker's web site for the newest version number (one plain-text
// file) and tells the delegate whether it is newer than the running program.
// Main thread only; the answer comes later, through the delegate.
class QELUpdateChecker : public QObject {
    Q_OBJECT
public:
    // The setting that names the host of the version file.
    static constexpr const char* kUpdateHostKey = "UpdateHost";
    static constexpr const char* kDefaultUpdateHost = "www.orvane.example";

    explicit QELUpdateChecker(QObject* parent = nullptr);
    ~QELUpdateChecker() override;

    // Starts a check; a check already running is dropped without an answer.
    void startCheckingForUpdate();

    // Not owned: the delegate owns the checker (or outlives it).
    QELUpdateCheckerDelegate* delegate() const { return m_delegate; }
    void setDelegate(QELUpdateCheckerDelegate* delegate) { m_delegate = delegate; }

    // The version file: the string table's "VERSIONFILEURL" (an HTTPS address)
    // on the host that the setting names.
    static QUrl defaultVersionFileUrl();
    QUrl versionFileUrl() const { return m_url; }
    void setVersionFileUrl(const QUrl& url) { m_url = url; }

    // How long the server may stay silent before the check fails (nominal,
    // through the program's clock); 10 s unless set.
    void setTimeout(Clock::Milliseconds nominal) { m_timeout = nominal; }

    // Compares two versions by their dot-separated numbers ("1.10" is newer
    // than "1.9", "2" equals "2.0"): above 0 when `a` is newer, 0 when equal,
    // below 0 when older; nothing when either is not such a version.
    static std::optional<int> compareVersions(const QString& a, const QString& b);

private:
    void handleResponse();
    void handleData();
    void handleFinished();
    void dropReply();
    void fail();

    QELUpdateCheckerDelegate* m_delegate = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_receivedData;
    QUrl m_url;
    Clock::Milliseconds m_timeout{10000};
};
