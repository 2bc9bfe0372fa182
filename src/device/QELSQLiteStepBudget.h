// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

#include <QString>

struct sqlite3;

// A device database is read as hostile input: a table that turns out to be a
// view over an endless recursive query would keep a read going for ever. Each
// step of a statement on a guarded connection may run for the connection's
// budget (real time) before SQLite is told to give up; the step then fails
// with SQLITE_INTERRUPT and the read reports it. Inside a Read every step of
// the whole read shares one budget, so a file whose every statement is slow
// cannot stall for the budget once per statement.
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

// One read of a whole database on this thread: one budget for all its steps
// (from the Read's start), and its first failure. A reader that meets a
// statement that fails or was interrupted ends the read with error() rather
// than answering what it had so far as if it were everything.
class Read {
public:
    Read();
    // A read with a budget of its own when that is shorter than the
    // connections' (tests, tools that must answer quickly).
    explicit Read(std::chrono::milliseconds budget);
    ~Read();
    Read(const Read&) = delete;
    Read& operator=(const Read&) = delete;

    // The innermost read running on this thread; null outside any.
    static Read* current();
    // Notes a failure of the current read, when there is one.
    static void failCurrent(const QString& what, const QString& reason);

    // Notes a failure; the first one is the read's.
    void fail(const QString& what, const QString& reason);
    bool failed() const { return !m_error.isEmpty(); }
    // "this database is damaged: <what>: <reason>"; empty while none failed.
    QString error() const { return m_error; }

private:
    Scope m_scope;
    Read* m_outer = nullptr;
    std::chrono::milliseconds m_budget{0}; // 0: the connections' own
    QString m_error;
};

// Logs that a statement of `reader` ("Contacts") could not read `what`
// ("the people") and why, and ends the current read with it.
void failStatement(const char* reader, const QString& what, const QString& reason);

// Runs `body` as one read: its answer, or, when a statement of it failed, an
// empty answer with the read's error in `error` (cleared otherwise).
template <typename Body>
auto asOneRead(QString* error, Body&& body,
               std::chrono::milliseconds budget = std::chrono::milliseconds(0)) -> decltype(body())
{
    const Read read(budget);
    auto result = body();
    if (error)
        *error = read.error();
    if (read.failed())
        return decltype(body())();
    return result;
}

} // namespace QELSQLiteStepBudget
