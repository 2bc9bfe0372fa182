// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QtGlobal>

// Which note a row, a selection or an export queue means. A note's id alone
// does not say: the notes of non-Apple accounts come from the older database,
// and their ids (body keys there) can equal keys of the note store.
struct QELNoteRowKey {
    enum class Source {
        NoteStore,     // NoteStore.sqlite
        OlderDatabase, // notes.sqlite or notes.db
    };
    Source source = Source::NoteStore;
    qint64 id = 0;

    bool operator==(const QELNoteRowKey&) const = default;
};

inline size_t qHash(const QELNoteRowKey& key, size_t seed = 0)
{
    return qHashMulti(seed, int(key.source), key.id);
}
