#include "InfoPlistGenerator.h"

#include "Log.h"
#include "Plist.h"

#include <QDateTime>
#include <QFileInfo>

bool InfoPlistGenerator::GeneratePlistAtPathWithDeviceIDWithNameWithModelWithVersion(const QString& path, const QString& deviceID, const QString& name,
                                                                                    const QString& model, const QString& version)
{
    QVariantMap info;
    if (QFileInfo(path).isFile())
        info = Plist::readFile(path).toMap();
    if (!name.isNull() && !model.isNull() && !version.isNull()) {
        info.insert(QStringLiteral("Device Name"), name);
        info.insert(QStringLiteral("Display Name"), name);
        info.insert(QStringLiteral("Product Type"), model);
        info.insert(QStringLiteral("Product Version"), version);
    }
    info.insert(QStringLiteral("GUID"), deviceID);
    info.insert(QStringLiteral("Last Backup Date"), QDateTime::currentDateTimeUtc());
    info.insert(QStringLiteral("Target Identifier"), deviceID);
    info.insert(QStringLiteral("Target Type"), QStringLiteral("Device"));
    info.insert(QStringLiteral("Unique Identifier"), deviceID);
    qCInfo(lcOrvane).noquote() << "infi file at" << path;
    if (!Plist::writeFile(path, info)) {
        qCWarning(lcOrvane) << "Error creating info.plist for device backup.";
        return false;
    }
    return true;
}
