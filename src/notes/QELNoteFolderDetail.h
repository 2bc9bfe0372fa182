// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The folder a note is filed in.
class QELNoteFolderDetail {
public:
    qint64 folderId() const { return m_folderId; }
    void setFolderId(qint64 folderId) { m_folderId = folderId; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

private:
    qint64 m_folderId = 0;
    QString m_name;
};
