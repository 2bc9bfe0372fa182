#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <mutex>

// One fake iOS device as the fake usbmuxd serves it: the values lockdownd
// answers, the answers it gives to pairing and service requests (scripted per
// test), and an AFC file system served from a local folder.
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
    QHash<QString, QStringList> m_extraEntries;
    QHash<QString, QList<QPair<QString, QString>>> m_extraInfo;
    QStringList m_requests;
    QVariantMap m_apps;
    QHash<QString, QByteArray> m_icons;
    QStringList m_appServiceAnswers;
    QStringList m_appServiceRequests;
};
