// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The account a note belongs to (an iCloud or on-device account of the note
// store, or a mail account of the older database).
class QELNoteAccountDetail {
public:
    qint64 accountId() const { return m_accountId; }
    void setAccountId(qint64 accountId) { m_accountId = accountId; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

private:
    qint64 m_accountId = 0;
    QString m_name;
};
