// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One step of the app list load, handed from the loader to the main thread.
struct QELAppLoadProgressInfo {
    // The number of the app being read, from 1, and the number of apps.
    double value = 0;
    double max = 0;
    QString progressDetail;
};
