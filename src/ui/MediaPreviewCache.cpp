#include "MediaPreviewCache.h"

#include <chrono>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "DeviceTime.h"
#include "Locations.h"

QString mediaPreviewCachePath(const QString& devicePath, const QString& prefix)
{
    const QString folder = Locations::temporaryFolder();
    if (folder.isEmpty())
        return QString();
    using namespace std::chrono;
    // Seconds since 1 January 2001 UTC, with six decimals.
    const qint64 epoch2001Us = DeviceTime::kReferenceEpochUnixSeconds * 1000000LL;
    const qint64 nowUs =
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const qint64 sinceUs = nowUs - epoch2001Us;
    QString name = QStringLiteral("%1_%2.%3")
                       .arg(prefix)
                       .arg(sinceUs / 1000000)
                       .arg(sinceUs % 1000000, 6, 10, QLatin1Char('0'));
    // The extension lets the decoder choose; a device-supplied one is kept only
    // when it is a plain extension.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const QString extension = QFileInfo(devicePath).suffix();
    if (plain.match(extension).hasMatch())
        name += QLatin1Char('.') + extension;
    return QDir(folder).filePath(name);
}
