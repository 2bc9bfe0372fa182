// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoCategory.h"

#include <cstdio>
#include <map>

#include <QFile>
#include <QTemporaryDir>

#include "SQLiteFixtureWriter.h"
#include "SimulatedDeviceBuilder.h"

namespace DemoDevice {

DemoContext::DemoContext(SimulatedDeviceBuilder& device, const QString& folder, Summary* summary)
    : m_device(device)
    , m_folder(folder)
    , m_summary(summary)
{
}

QByteArray DemoContext::emptyDatabase(QString* error)
{
    if (!m_emptyDatabase.isEmpty())
        return m_emptyDatabase;
    QTemporaryDir scratch;
    const QString path = scratch.path() + QStringLiteral("/empty.sqlite");
    {
        SQLiteFixtureWriter writer(path);
        writer.exec(QStringLiteral("PRAGMA user_version = 1"));
        if (!writer.commit()) {
            *error = writer.error();
            return {};
        }
    }
    QFile file(path);
    m_emptyDatabase = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (m_emptyDatabase.isEmpty())
        *error = QStringLiteral("the empty database could not be read back");
    return m_emptyDatabase;
}

bool DemoContext::backupEmptyDatabase(const QString& domain, const QString& relativePath,
                                      QString* error)
{
    const QByteArray database = emptyDatabase(error);
    if (database.isEmpty())
        return false;
    m_device.backupFile(domain, relativePath, database);
    return true;
}

namespace DemoCategories {

namespace {

std::map<QString, DemoCategoryBuilder>& table()
{
    // Filled during static initialisation by the categories' own files.
    static std::map<QString, DemoCategoryBuilder> builders;
    return builders;
}

} // namespace

bool add(DemoCategoryBuilder builder)
{
    const QString name = builder.name;
    if (!table().emplace(name, std::move(builder)).second)
        std::fprintf(stderr, "orvane-demo-device: the category \"%s\" is registered twice\n",
                     qPrintable(name));
    return true;
}

std::vector<const DemoCategoryBuilder*> all()
{
    std::vector<const DemoCategoryBuilder*> builders;
    for (const auto& [name, builder] : table())
        builders.push_back(&builder);
    return builders;
}

} // namespace DemoCategories

} // namespace DemoDevice
