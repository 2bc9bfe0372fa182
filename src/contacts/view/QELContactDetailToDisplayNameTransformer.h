// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "QELContact.h"

// The name the contact list shows: FN, else the organisation; null for a
// contact with neither and for no contact.
class QELContactDetailToDisplayNameTransformer {
public:
    static QString transformedValue(const QELContact* contact);
};
