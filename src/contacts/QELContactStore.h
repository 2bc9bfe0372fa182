// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

#include "QELContact.h"
#include "QELSQLiteStore.h"

// The contacts store "contacts.dat": the contacts of one read with their
// details, held in memory as shared objects (the view and the jobs keep them
// after the store is closed) and written to the store file by save(), one
// table per entity in one transaction, every value bound.
//
// A reader fills the store on its worker thread; afterwards it is only read.
class QELContactStore : public QELSQLiteStore {
public:
    static constexpr const char* kFileName = "contacts.dat";

    // Opens the store file with journal_mode OFF, else an in-memory database;
    // none when neither could be set up. An empty path goes straight to memory.
    static std::shared_ptr<QELContactStore> open(const QString& filePath);
    ~QELContactStore() override;

    QELContactPtr insertContact();
    void deleteContact(const QELContactPtr& contact);
    // Deletes many at once, in one pass over the store.
    void deleteContacts(const std::unordered_set<const QELContact*>& contacts);
    // Every contact, in the order of insertion.
    const std::vector<QELContactPtr>& contacts() const { return m_contacts; }

    // Writes the whole content to the store file. False (with a reason) when
    // SQLite refused.
    bool save(QString* error = nullptr);

protected:
    QStringList schemaStatements() const override;

private:
    QELContactStore() = default;
    std::vector<QELContactPtr> m_contacts;
};
