// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>

#include "QELContact.h"

class QELContactStore;

// Owns the contacts store "contacts.dat" in the program's temporary folder,
// answers the contact list, and folds duplicate entries of one person
// together. QELContactsDbReader fills the store from the device's address
// book.
//
// The store is filled and merged once on a worker thread and only read
// afterwards, so the queries take no lock.
class QELContactsReader {
public:
    virtual ~QELContactsReader();
    QELContactsReader(const QELContactsReader&) = delete;
    QELContactsReader& operator=(const QELContactsReader&) = delete;

    // The base only checks the source: true when a database path is set and a
    // file is there.
    virtual bool loadContacts();

    // Every contact, by searchReference in plain character order (capitals
    // before small letters); contacts without one come first.
    QList<QELContactPtr> getContacts() const;

    // Folds entries of one person together: the same given, middle and
    // family name without regard to case and surrounding blanks, and no
    // contradicting organisation. The entry of the smallest uid survives.
    void mergeIdenticalContacts();
    // Moves the duplicate's details that the survivor lacks to it, fills the
    // survivor's empty fields from it, and removes the duplicate. Does not save.
    void mergeContact(const QELContactPtr& duplicate, const QELContactPtr& survivor);
    // How many entries the merges of this reader removed.
    int mergedCount() const { return m_mergedCount; }

    // The first text unless it is absent or empty: an absent first gives the
    // second; an empty first gives the second when that is present, else
    // the empty first.
    static std::optional<QString> useStringIfSet(const std::optional<QString>& first,
                                                 const std::optional<QString>& otherwise);

    const std::shared_ptr<QELContactStore>& store() const { return m_store; }

protected:
    QELContactsReader() = default;
    // Makes the store, removing the file of an earlier read first; memory
    // stands in for a file SQLite cannot use. False when there is no store.
    bool init();

    QString _dbPath;
    std::shared_ptr<QELContactStore> m_store;

private:
    // mergeContact without the removal; false when there was nothing to merge.
    bool mergeContactDetails(const QELContactPtr& duplicate, const QELContactPtr& survivor);

    int m_mergedCount = 0;
};
