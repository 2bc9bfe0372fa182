// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCallLogParticipant.h"

#include "LocalizedStrings.h"
#include "QELContactNameLookup.h"

void QELCallLogParticipant::setAddress(const QString& address, const QELContactNameLookup& lookup)
{
    setAddressAndName(address,
                      address.isEmpty() ? L("NOCALLERID") : lookup.nameForAddress(address));
}

void QELCallLogParticipant::setAddressAndName(const QString& address, const QString& name)
{
    m_address = address;
    if (!m_addresses.contains(address))
        m_addresses.append(address);
    // An empty name would group every such address under one nameless row.
    m_name = name.isEmpty() ? address : name;
}

bool QELCallLogParticipant::mergeWith(QELCallLogParticipant& other)
{
    if (&other == this)
        return false;
    m_addresses.append(other.m_address);
    other.m_isMerged = true;
    return true;
}
