// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

struct sqlite3;

// A device database is read as hostile input: a table that turns out to be a
// view over an endless recursive query would keep a read going for ever. Each
// step of a statement on a guarded connection may run for the connection's
// budget (real time) before SQLite is told to give up;
// the step then fails with SQLITE_INTERRUPT and the read reports it.
namespace QELSQLiteStepBudget {

// Installs the progress handler and SQLite's defensive settings on a
// connection to a device file.
void guard(sqlite3* db, std::chrono::milliseconds budget);

// Marks the current thread as inside one step (or one exec) for as long as it
// lives; the budget of a guarded connection counts from here. Nested scopes
// keep the outermost start.
class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    bool m_outermost = false;
};

} // namespace QELSQLiteStepBudget
