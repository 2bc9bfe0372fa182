// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "SpringBoardServices.h"

// Springboard services of a simulated device: an app's icon is the file
// icon.png in its folder below <device>/apps.
class SimulatedSpringBoardServices : public SpringBoardServices {
public:
    using Recorder = std::function<void(const QString& call)>;

    SimulatedSpringBoardServices(QString deviceFolder, std::shared_ptr<std::atomic<bool>> present,
                                 Recorder record);

    uint32_t iconPngData(const QString& bundleId, QByteArray* png) override;

private:
    QString m_folder;
    std::shared_ptr<std::atomic<bool>> m_present;
    Recorder m_record;
};
