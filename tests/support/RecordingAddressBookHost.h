// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <vector>

#include "AddressBookHost.h"

// An address book that keeps what a transfer does with it: the people it
// adds, how often it opens and saves, and the people each save kept. A test
// can make it refuse to open, to add, or to save.
class RecordingAddressBookHost : public AddressBookHost {
public:
    bool open() override;
    QString addPerson(const AddressBookPerson& person) override;
    bool hasUnsavedChanges() const override;
    bool save() override;

    void setOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }
    void setSaveSucceeds(bool succeeds) { m_saveSucceeds = succeeds; }

    // Any thread; copies taken under the lock.
    std::vector<AddressBookPerson> added() const;
    std::vector<AddressBookPerson> saved() const;
    int opens() const;
    int saves() const;

private:
    mutable std::mutex m_mutex;
    bool m_openSucceeds = true;
    bool m_saveSucceeds = true;
    int m_opens = 0;
    int m_saves = 0;
    std::vector<AddressBookPerson> m_added;
    std::vector<AddressBookPerson> m_saved;
    size_t m_unsaved = 0;
};
