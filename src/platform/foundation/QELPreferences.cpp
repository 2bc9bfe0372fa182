#include "QELPreferences.h"

#include <cmath>
#include <limits>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

namespace {

// The leading number of a text, as a number stored in text form reads:
// "12" and " 12abc" give 12, "2.5" gives 2.5, a text without one gives 0.
double leadingNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    if (end < trimmed.size()
        && (trimmed.at(end) == QLatin1Char('-') || trimmed.at(end) == QLatin1Char('+')))
        ++end;
    bool digits = false;
    while (end < trimmed.size() && trimmed.at(end).isDigit()) {
        ++end;
        digits = true;
    }
    if (end < trimmed.size() && trimmed.at(end) == QLatin1Char('.')) {
        ++end;
        while (end < trimmed.size() && trimmed.at(end).isDigit()) {
            ++end;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double value = trimmed.left(end).toDouble(&ok);
    return ok ? value : 0;
}

// Any stored value as a number. QSettings gives back what it wrote to its file
// as text, booleans as "true" and "false".
double numberValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0;
        return leadingNumber(text);
    }
    default: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        return ok && std::isfinite(number) ? number : 0;
    }
    }
}

int intValue(const QVariant& value)
{
    const double number = std::trunc(numberValue(value));
    if (number >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (number <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(number);
}

// The settings are named in full, so that a reader in a program that set no
// application names still reads the program's own settings.
QVariant stored(const QString& key)
{
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
    return settings.value(key);
}

bool boolForKey(const QString& key, bool fallback)
{
    const QVariant value = stored(key);
    return value.isValid() ? intValue(value) != 0 : fallback;
}

int intForKey(const QString& key, int fallback)
{
    const QVariant value = stored(key);
    return value.isValid() ? intValue(value) : fallback;
}

void store(const QString& key, const QVariant& value)
{
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
    settings.setValue(key, value);
}

} // namespace

QString QELPreferences::CopyToMacSaveFolder()
{
    const QVariant value = stored(kCopyToMacSaveFolder);
    if (value.isValid())
        return value.toString();
    // Music goes where the desktop keeps music (XDG_MUSIC_DIR, ~/Music), where
    // media players look for it.
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
}

bool QELPreferences::CopyToMacOverwriteFiles()
{
    return boolForKey(kCopyToMacOverwriteFiles, false);
}
bool QELPreferences::ShowCopyCompleteMessage()
{
    return boolForKey(kShowCopyCompleteMessage, true);
}
int QELPreferences::CopyToMacFolderLevelOne() { return intForKey(kCopyToMacFolderLevelOne, 1); }
int QELPreferences::CopyToMacFolderLevelTwo() { return intForKey(kCopyToMacFolderLevelTwo, 2); }
int QELPreferences::CopyToMacFolderLevelThree() { return intForKey(kCopyToMacFolderLevelThree, 0); }
int QELPreferences::CopyToMacFileNameSegmentOne()
{
    return intForKey(kCopyToMacFileNameSegmentOne, 1);
}
int QELPreferences::CopyToMacFileNameSegmentTwo()
{
    return intForKey(kCopyToMacFileNameSegmentTwo, 0);
}
int QELPreferences::CopyToMacFileNameSegmentThree()
{
    return intForKey(kCopyToMacFileNameSegmentThree, 5);
}

double QELPreferences::PlaybackVolume()
{
    const QVariant value = stored(kPlaybackVolume);
    return value.isValid() ? numberValue(value) : 60.0;
}

bool QELPreferences::ShowArtwork() { return boolForKey(kShowArtwork, true); }
bool QELPreferences::ShowSetCopyLocationBeforeCopy()
{
    return boolForKey(kShowSetCopyLocationBeforeCopy, true);
}
bool QELPreferences::checkForUpdatesOnStartUp() { return boolForKey(kCheckForUpdateOnStart, true); }
bool QELPreferences::showItemsInICloud() { return boolForKey(kShowItemInICloud, true); }
bool QELPreferences::ejectIPodOnExit() { return boolForKey(kEjectIPodOnExit, true); }

void QELPreferences::setShowArtwork(bool show) { store(kShowArtwork, show); }
void QELPreferences::setShowSetCopyLocationBeforeCopy(bool show)
{
    store(kShowSetCopyLocationBeforeCopy, show);
}
void QELPreferences::setCheckForUpdatesOnStartUp(bool check)
{
    store(kCheckForUpdateOnStart, check ? 1 : 0);
}
void QELPreferences::setShowItemsInICloud(bool show) { store(kShowItemInICloud, show ? 1 : 0); }
void QELPreferences::setEjectIPodOnExit(bool eject) { store(kEjectIPodOnExit, eject ? 1 : 0); }
