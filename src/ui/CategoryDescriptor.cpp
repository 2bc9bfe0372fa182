// SPDX-License-Identifier: GPL-3.0-or-later
#include "CategoryDescriptor.h"

QELDeviceCategoryContentView::Requests CategoryDescriptor::barRequests() const
{
    return availability.requests | QELDeviceCategoryContentView::Copy;
}
