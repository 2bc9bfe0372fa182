// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessageParticipant.h"

#include "QELContactNameLookup.h"

void QELMessageParticipant::setAddress(const QString& address)
{
    m_address = address;
    const QString name = m_lookup ? m_lookup->nameForAddress(address) : QString();
    m_name = name.isEmpty() ? address : name;
    // The lookup is only the moment's: a participant outlives the list load.
    m_lookup = nullptr;
}
