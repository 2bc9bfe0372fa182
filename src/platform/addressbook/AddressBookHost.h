// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "AddressBookPerson.h"

// The computer's address book, as the contact transfer adds to it: open it
// once per run, add people (a person whose UID the book already holds
// replaces that card instead of adding another), then save once. FolderAddressBookHost keeps a
// vCard collection folder; tests stand in a recording host. Blocking: worker threads (tools and
// tests call from their main thread). One host per thread.
class AddressBookHost {
public:
    virtual ~AddressBookHost() = default;

    // Makes the address book ready for adds; false when it cannot be used.
    virtual bool open() = 0;
    // Adds a person, not yet saved; answers its id (empty when refused).
    virtual QString addPerson(const AddressBookPerson& person) = 0;
    // Whether people were added since the last save.
    virtual bool hasUnsavedChanges() const = 0;
    // Writes every person added since the last save; false when any of them
    // could not be written.
    virtual bool save() = 0;
    // Where the people are kept, as the end of a transfer tells the user (a
    // folder); empty when there is nothing to tell.
    virtual QString location() const { return {}; }

protected:
    AddressBookHost() = default;
};
