// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A person's name, organisation and address book row, as a plain record.
class QELContactSummary {
public:
    QString fullName() const { return m_fullName; }
    void setFullName(const QString& name) { m_fullName = name; }
    QString organization() const { return m_organization; }
    void setOrganization(const QString& organization) { m_organization = organization; }
    qint64 uid() const { return m_uid; }
    void setUid(qint64 uid) { m_uid = uid; }

private:
    QString m_fullName;
    QString m_organization;
    qint64 m_uid = 0;
};
