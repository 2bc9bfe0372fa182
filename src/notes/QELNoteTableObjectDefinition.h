// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include "QELNoteRowKey.h"

// One row of the notes list: an account heading, a folder heading or a note.
class QELNoteTableObjectDefinition {
public:
    static constexpr int kNote = 0;
    static constexpr int kFolder = 1;
    static constexpr int kAccount = 2;

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // The account's or folder's id, or the note's id.
    qint64 identifier() const { return m_identifier; }
    void setIdentifier(qint64 identifier) { m_identifier = identifier; }
    int type() const { return m_type; }
    void setType(int type) { m_type = type; }
    // A note row's note; the note's id alone does not name it.
    QELNoteRowKey rowKey() const { return m_rowKey; }
    void setRowKey(const QELNoteRowKey& key) { m_rowKey = key; }

    bool operator==(const QELNoteTableObjectDefinition&) const = default;

private:
    QString m_title;
    qint64 m_identifier = 0;
    int m_type = kNote;
    QELNoteRowKey m_rowKey;
};
