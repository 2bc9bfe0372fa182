// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Locations.h"
#include "Log.h"
#include "QELDeviceInterface.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "ThreadCheck.h"

namespace {

const QString kTable = QStringLiteral("CopyHistoryEntry");

// Whether a file copied off the device holds our table with its three
// columns; anything else (another program's layout, random bytes) is not
// read, and a fresh history takes its place.
bool holdsHistory(const QString& path)
{
    QELSQLiteDatabase database = QELSQLiteDatabase::openReadOnly(path);
    if (!database.isOpen())
        return false;
    sqlite3* db = database.handle();
    if (!QELSQLiteHelper::doesDatabaseContainTable(db, kTable))
        return false;
    for (const char* column : {"itemId", "statusOK", "statusFAIL"})
        if (!QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(db, kTable,
                                                                      QLatin1String(column)))
            return false;
    return true;
}

} // namespace

std::unique_ptr<QELCopyHistory> QELCopyHistory::create(QELDeviceInterface* deviceInterface,
                                                       const QString& databaseName, QString* why)
{
    assertNotOnGuiThread();
    auto fail = [why](const QString& reason) {
        qCWarning(lcOrvane).noquote() << "No copy history:" << reason;
        if (why)
            *why = reason;
        return nullptr;
    };
    const QString folder = Locations::temporaryFolder();
    if (folder.isEmpty())
        return fail(QStringLiteral("the temporary folder cannot be used"));
    const QString name = databaseName.section(QLatin1Char('/'), -1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("no database name"));

    std::unique_ptr<QELCopyHistory> history(new QELCopyHistory());
    history->_deviceInterface = deviceInterface;
    history->m_deviceDBPath = databaseName;
    history->m_historyLocalCopy = QDir(folder).filePath(name);

    const QString local = history->m_historyLocalCopy;
    if (QFileInfo::exists(local) && !QFile::remove(local))
        return fail(QStringLiteral("the old local copy %1 cannot be removed").arg(local));
    if (deviceInterface && deviceInterface->fileExistsAtPath(databaseName)
        && deviceInterface->copyFileFromDeviceAtToLocalPath(databaseName, local)
        && !holdsHistory(local)) {
        qCInfo(lcOrvane).noquote() << "The device's copy history" << databaseName
                                   << "is in a layout of another program; starting afresh";
        QFile::remove(local);
    }
    QString reason;
    if (!history->openLocalStore(&reason))
        return fail(reason);
    history->loadMirror();
    return history;
}

QELCopyHistory::~QELCopyHistory() { close(); }

QStringList QELCopyHistory::schemaStatements() const
{
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS CopyHistoryEntry (itemId TEXT PRIMARY KEY, "
                           "statusOK INTEGER, statusFAIL INTEGER)")};
}

bool QELCopyHistory::openLocalStore(QString* why)
{
    // The history must outlive the run: a store in memory would be lost
    // with no word, so it counts as none.
    if (!openStore(m_historyLocalCopy, WhenFileFails::RecreateFileThenUseMemory, why))
        return false;
    if (isInMemory()) {
        close();
        if (why)
            *why = QStringLiteral("the file %1 cannot hold it").arg(m_historyLocalCopy);
        return false;
    }
    return true;
}

void QELCopyHistory::loadMirror()
{
    std::lock_guard guard(lock());
    QHash<QString, bool> mirror;
    QStringList order;
    QELSQLiteStatement select =
        prepare(QStringLiteral("SELECT itemId, statusOK FROM CopyHistoryEntry ORDER BY rowid"));
    select.forEachRow([&](const QELSQLiteStatement& row) {
        const QString id = row.text(0);
        if (!row.isNull(0) && !mirror.contains(id)) {
            mirror.insert(id, !row.isNull(1) && row.int64(1) == 1);
            order.append(id);
        }
        return true;
    });
    std::lock_guard mirrorLock(m_mirrorMutex);
    m_mirror = std::move(mirror);
    m_order = std::move(order);
}

void QELCopyHistory::RecordCopyHistoryForItemWithSucess(const QString& itemId, bool success)
{
    assertNotOnGuiThread();
    if (itemId.isNull())
        return;
    {
        std::lock_guard guard(lock());
        QString error;
        if (isOpen()
            && !run(
                QStringLiteral("INSERT INTO CopyHistoryEntry (itemId, statusOK, statusFAIL) "
                               "VALUES (?1, ?2, ?3) ON CONFLICT(itemId) DO UPDATE SET "
                               "statusOK = excluded.statusOK, statusFAIL = excluded.statusFAIL"),
                {itemId, success ? 1 : 0, success ? 0 : 1}, &error))
            qCWarning(lcOrvane).noquote() << "The copy history did not take" << itemId << error;
    }
    std::lock_guard mirrorLock(m_mirrorMutex);
    if (!m_mirror.contains(itemId))
        m_order.append(itemId);
    m_mirror.insert(itemId, success);
}

qint64 QELCopyHistory::GetCopyHistoryResultForItemWithID(const QString& itemId) const
{
    std::lock_guard mirrorLock(m_mirrorMutex);
    const auto it = m_mirror.constFind(itemId);
    if (it == m_mirror.constEnd())
        return 0;
    return it.value() ? 2 : 1;
}

QStringList QELCopyHistory::GetItemIDSetForCopiedItems() const
{
    std::lock_guard mirrorLock(m_mirrorMutex);
    QStringList copied;
    for (const QString& id : m_order)
        if (m_mirror.value(id))
            copied.append(id);
    return copied;
}

bool QELCopyHistory::CommitHistoryToDevice()
{
    assertNotOnGuiThread();
    std::lock_guard guard(lock());
    if (!QFileInfo(m_historyLocalCopy).isFile() || !_deviceInterface)
        return false;
    QELDeviceInterface& device = *_deviceInterface;
    const QString upload = m_deviceDBPath + QStringLiteral(".orvane-upload");
    // A stale upload of an earlier, broken commit is in the way.
    if (device.fileExistsAtPath(upload))
        device.deletePath(upload);
    if (device.copyLocalFileAtToDevicePath(m_historyLocalCopy, upload)
        && device.renamePath(upload, m_deviceDBPath))
        return true;
    const QELDeviceInterface::AfcError afc = device.lastAfcError();
    qCWarning(lcOrvane).noquote() << QStringLiteral("Error coping copy history %1 to device %2")
                                         .arg(m_historyLocalCopy, m_deviceDBPath);
    qCWarning(lcOrvane).noquote()
        << QStringLiteral("Device Inteface : %1")
               .arg(QStringLiteral("%1 %2 (code %3)").arg(afc.operation, afc.path).arg(afc.code));
    if (device.fileExistsAtPath(upload))
        device.deletePath(upload);
    return false;
}

void QELCopyHistory::EraseCopyHistory()
{
    assertNotOnGuiThread();
    std::lock_guard guard(lock());
    if (_deviceInterface && _deviceInterface->fileExistsAtPath(m_deviceDBPath))
        _deviceInterface->deletePath(m_deviceDBPath);
    close();
    QFile::remove(m_historyLocalCopy);
    QString why;
    if (!openLocalStore(&why))
        qCWarning(lcOrvane).noquote() << "The copy history cannot be kept any more:" << why;
    std::lock_guard mirrorLock(m_mirrorMutex);
    m_mirror.clear();
    m_order.clear();
}
