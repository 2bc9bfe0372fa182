// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "DemoDevice.h"

class SimulatedDeviceBuilder;

namespace DemoDevice {

// What a category's builder writes into: the device being described, its
// folder, and the summary the tool prints.
class DemoContext {
public:
    DemoContext(SimulatedDeviceBuilder& device, const QString& folder, Summary* summary);

    SimulatedDeviceBuilder& device() { return m_device; }
    QString folder() const { return m_folder; }
    // The device's AFC root, ending in "/".
    QString afcRoot() const { return m_folder + QStringLiteral("/afc/"); }
    // The summary to fill in; null when the caller asked for none.
    Summary* summary() const { return m_summary; }

    // A valid SQLite database without tables, as bytes (made once); empty,
    // with the reason, when it could not be made.
    QByteArray emptyDatabase(QString* error);
    // Puts such a database into the device's backup at the path in the domain.
    bool backupEmptyDatabase(const QString& domain, const QString& relativePath, QString* error);

private:
    SimulatedDeviceBuilder& m_device;
    QString m_folder;
    Summary* m_summary;
    QByteArray m_emptyDatabase;
};

// One category's part of the demo device. Each category is a source file of
// its own that adds its builder at start-up, so a new category adds a file:
//   [[maybe_unused]] const bool registered = DemoCategories::add({...});
struct DemoCategoryBuilder {
    QString name;
    // Adds the category's device values, AFC files and backup files to the
    // description before the device folder is written; may be empty.
    std::function<bool(DemoContext&, QString* error)> describe;
    // Writes what needs the written device folder (files made in place); may be empty.
    std::function<bool(DemoContext&, QString* error)> write;
};

namespace DemoCategories {

// Adds a builder; answers true.
bool add(DemoCategoryBuilder builder);
// The builders, by name.
std::vector<const DemoCategoryBuilder*> all();

} // namespace DemoCategories

} // namespace DemoDevice
