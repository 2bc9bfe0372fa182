#pragma once

#include <atomic>
#include <chrono>
#include <mutex>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

// One fake iOS device as the fake usbmuxd serves it: the values lockdownd
// answers, the answers it gives to pairing and service requests (scripted per
// test), and an AFC file system served from a local folder.
//
// The device answers lockdownd as its generation does ("ProductVersion"):
// below iOS 11 it knows ValidatePair, from iOS 11 on it answers it with the
// error of any request it does not know; a session always runs over TLS,
// at most TLS 1.0 below iOS 10 and at least TLS 1.2 from iOS 10 on.
//
// Lockdown answers are lockdownd's own error names ("PasswordProtected",
// "PairingDialogResponsePending", "UserDeniedPairing", "InvalidHostID") or an
// empty string for success. When a script runs out the device answers as a
// device does: Pair succeeds and trusts the host, ValidatePair and StartSession
// succeed only for a host it trusts, StartService succeeds.
class FakeDevice {
public:
    // `afcRoot` is the local folder the device's AFC service shows as "/".
    explicit FakeDevice(const QString& afcRoot);

    QString udid() const { return m_udid; }
    // usbmuxd's number for the device; a new one each time it is plugged in again.
    quint32 deviceId() const { return m_deviceId.load(); }
    void takeNewDeviceId();
    // A device reached over Wi-Fi: usbmuxd announces it as a network device.
    bool overNetwork() const { return m_overNetwork.load(); }
    void setOverNetwork(bool network) { m_overNetwork = network; }
    QString afcRoot() const { return m_afcRoot; }

    // Values of the default domain (DeviceClass, ProductVersion, DeviceName,
    // UniqueDeviceID, ProductType, DevicePublicKey, WiFiAddress ...). A null
    // QVariant removes the value, so GetValue answers "MissingValue".
    void setValue(const QString& key, const QVariant& value);
    QVariant value(const QString& key) const;
    QVariantMap values() const;

    void scriptPairAnswers(const QStringList& answers);
    void scriptValidatePairAnswers(const QStringList& answers);
    void scriptStartServiceAnswers(const QStringList& answers);
    void trustHost(const QString& hostId);
    bool trustsHost(const QString& hostId) const;
    // Forgets every host it trusted, as "Reset Location & Privacy" does.
    void forgetHosts();

    // Locked with a passcode for this long (in the program's clock), counted
    // from the first request the lock refuses: Pair, and StartService within
    // a session, answer "PasswordProtected" until then.
    void lockFor(std::chrono::milliseconds nominal);
    bool locked();
    // The device closes the connection when the session's TLS should start.
    void setClosesDuringTls(bool closes) { m_closesDuringTls = closes; }
    bool closesDuringTls() const { return m_closesDuringTls.load(); }
    // The device reads requests and never answers them.
    void setSilent(bool silent) { m_silent = silent; }
    bool silent() const { return m_silent.load(); }

    int majorVersion() const;
    // The TLS versions of the sessions that started ("TLSv1.2", ...).
    QStringList sessionTlsVersions() const;
    void recordSessionTls(const QString& version);
    // The host identifiers offered by every Pair request, in order.
    QStringList pairHostIds() const;
    void recordPairHostId(const QString& hostId);

    // Directory entries listed by AFC in addition to the folder's real ones:
    // names no file system holds, such as "../evil" or "/etc/passwd".
    void addDirectoryEntry(const QString& devicePath, const QString& name);
    QStringList extraDirectoryEntries(const QString& devicePath) const;
    // Extra key/value pairs in the AFC file information of one path.
    void addFileInfo(const QString& devicePath, const QString& key, const QString& value);
    QList<QPair<QString, QString>> extraFileInfo(const QString& devicePath) const;

    // The apps the installation proxy knows: bundle identifier to attributes.
    void setApps(const QVariantMap& apps);
    QVariantMap apps() const;
    void setIcon(const QString& bundleId, const QByteArray& png);
    QByteArray icon(const QString& bundleId) const;
    // How the next install, uninstall, archive or archive removal ends after
    // its progress replies: a "Status" sent as given ("Complete", "cOmPlEtE"),
    // "Error", or "Cut" (the connection closes). Afterwards: "Complete".
    void scriptAppServiceAnswers(const QStringList& answers);
    QString takeAppServiceAnswer();
    // The requests of both app services ("Lookup", "Archive <id>",
    // "getIconPNGData <id>", ...), in order.
    QStringList appServiceRequests() const;
    void recordAppServiceRequest(const QString& request);

    // Every lockdown request the device received, as "Request" or
    // "Request Key" (GetValue), in order.
    QStringList lockdownRequests() const;

    // Used by the protocol handlers.
    QString takePairAnswer(const QString& request);
    QString takeStartServiceAnswer();
    void recordLockdownRequest(const QString& request);
    static QByteArray publicKeyPem();
    // The device's key pair (the TLS server key of its sessions).
    static struct evp_pkey_st* deviceKey();
    // Whether a PEM certificate is made on the device's public key.
    static bool certificateHoldsPublicKey(const QByteArray& certificatePem);

private:
    mutable std::mutex m_mutex;
    QString m_udid;
    std::atomic<quint32> m_deviceId{0};
    std::atomic<bool> m_overNetwork{false};
    QString m_afcRoot;
    QVariantMap m_values;
    QStringList m_pairAnswers;
    QStringList m_validateAnswers;
    QStringList m_startServiceAnswers;
    QSet<QString> m_trustedHosts;
    std::chrono::steady_clock::time_point m_lockedUntil{};
    std::chrono::milliseconds m_lockDuration{0};
    std::atomic<bool> m_closesDuringTls{false};
    std::atomic<bool> m_silent{false};
    QStringList m_sessionTls;
    QStringList m_pairHostIds;
    QHash<QString, QStringList> m_extraEntries;
    QHash<QString, QList<QPair<QString, QString>>> m_extraInfo;
    QStringList m_requests;
    QVariantMap m_apps;
    QHash<QString, QByteArray> m_icons;
    QStringList m_appServiceAnswers;
    QStringList m_appServiceRequests;
};
