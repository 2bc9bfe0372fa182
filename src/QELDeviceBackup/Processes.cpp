#include "Processes.h"

#include <cerrno>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QVariantMap>

namespace {

QByteArray readProcFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Files under /proc report no size: read until the end.
    return file.readAll();
}

// The account name of a user identifier, or a null string.
QString accountName(uid_t userID)
{
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (bufferSize <= 0)
        bufferSize = 16384;
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    struct passwd entry {};
    struct passwd* result = nullptr;
    while (getpwuid_r(userID, &entry, buffer.data(), buffer.size(), &result) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return result ? QString::fromLocal8Bit(result->pw_name) : QString();
}

} // namespace

int GetBSDProcessList(QList<BSDProcessRecord>* list)
{
    if (!list || !list->isEmpty())
        return EINVAL;
    QDir proc(QStringLiteral("/proc"));
    if (!proc.exists())
        return ENOENT;
    const QStringList names = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool numeric = false;
        const qlonglong pid = name.toLongLong(&numeric);
        if (!numeric || pid <= 0)
            continue;
        const QString base = QStringLiteral("/proc/") + name;
        const QByteArray comm = readProcFile(base + QStringLiteral("/comm"));
        const QByteArray status = readProcFile(base + QStringLiteral("/status"));
        if (comm.isEmpty() || status.isEmpty())
            continue; // ended meanwhile
        BSDProcessRecord record;
        record.processID = static_cast<pid_t>(pid);
        record.command = QString::fromLocal8Bit(comm).trimmed();
        bool haveUser = false;
        for (const QByteArray& line : status.split('\n')) {
            if (line.startsWith("Uid:")) {
                const QList<QByteArray> fields = line.mid(4).simplified().split(' ');
                record.userID = static_cast<uid_t>(fields.value(0).toULong(&haveUser));
                break;
            }
        }
        if (!haveUser)
            continue;
        // The fields after the command, which is in parentheses and may hold
        // any character: state, parent, process group.
        const QByteArray stat = readProcFile(base + QStringLiteral("/stat"));
        const QList<QByteArray> fields =
            stat.mid(stat.lastIndexOf(')') + 1).simplified().split(' ');
        bool haveGroup = false;
        record.processGroupID = static_cast<pid_t>(fields.value(2).toLong(&haveGroup));
        if (!haveGroup)
            continue; // ended meanwhile
        list->append(record);
    }
    return 0;
}

QVariantList GetProcessInfoList()
{
    QList<BSDProcessRecord> records;
    QVariantList entries;
    if (GetBSDProcessList(&records) != 0)
        return entries;
    entries.reserve(records.size());
    for (const BSDProcessRecord& record : records) {
        QVariantMap entry;
        entry.insert(QStringLiteral("processID"), qint64(record.processID));
        entry.insert(QStringLiteral("processName"), record.command);
        entry.insert(QStringLiteral("processGroupID"), qint64(record.processGroupID));
        const QString user = accountName(record.userID);
        if (!user.isNull()) {
            entry.insert(QStringLiteral("userID"), quint64(record.userID));
            entry.insert(QStringLiteral("userName"), user);
        }
        entries.append(entry);
    }
    return entries;
}

QStringList GetProcessArguments(pid_t processID)
{
    const QByteArray bytes = readProcFile(QStringLiteral("/proc/%1/cmdline").arg(processID));
    QStringList arguments;
    if (bytes.isEmpty())
        return arguments;
    QList<QByteArray> parts = bytes.split('\0');
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    for (const QByteArray& part : parts)
        arguments.append(QString::fromLocal8Bit(part));
    return arguments;
}
