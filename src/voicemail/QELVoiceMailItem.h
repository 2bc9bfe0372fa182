// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include "QELVoiceMailContact.h"

// One voicemail of the index. Its audio is a backup file of its own, named by
// the id (QELVoiceMailUtilities). A value the index lacks stays unset.
struct QELVoiceMailItem {
    // The ROWID of the index's row.
    qint64 id = 0;
    // UTC; invalid when the row has no date.
    QDateTime dateRecorded;
    // Seconds.
    std::optional<qint64> duration;
    std::optional<qint64> flags;
    // Whether the voicemail was deleted (later systems keep it with a
    // "trashed_date"); unset when the index has no such column.
    std::optional<bool> trashed;
    // The sender (relationshipContact).
    QELVoiceMailContact contact;
    // The local copy of the audio where the loader fetched it; null: none.
    QString audioPath;

    QELVoiceMailContact relationshipContact() const { return contact; }
    bool operator==(const QELVoiceMailItem& other) const = default;
};

Q_DECLARE_METATYPE(QELVoiceMailItem)
