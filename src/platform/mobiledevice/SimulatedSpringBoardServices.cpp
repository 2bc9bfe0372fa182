// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedSpringBoardServices.h"

#include <QFile>

#include "MobileDevice.h"
#include "SimulatedInstallationProxy.h"

namespace {
constexpr qint64 kMaxIconBytes = 16 * 1024 * 1024;
}

SimulatedSpringBoardServices::SimulatedSpringBoardServices(
    QString deviceFolder, std::shared_ptr<std::atomic<bool>> present, Recorder record)
    : m_folder(std::move(deviceFolder))
    , m_present(std::move(present))
    , m_record(std::move(record))
{
}

uint32_t SimulatedSpringBoardServices::iconPngData(const QString& bundleId, QByteArray* png)
{
    if (!m_present->load())
        return MobileDeviceResult::kNotConnected;
    m_record(QStringLiteral("getIconPNGData ") + bundleId);
    const QString app =
        SimulatedInstallationProxy::appFolderOf(m_folder + QStringLiteral("/apps"), bundleId);
    if (app.isEmpty())
        return MobileDeviceResult::kUndefined;
    QFile file(app + QStringLiteral("/icon.png"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIconBytes)
        return MobileDeviceResult::kUndefined;
    *png = file.readAll();
    return png->isEmpty() ? MobileDeviceResult::kUndefined : MobileDeviceResult::kSuccess;
}
