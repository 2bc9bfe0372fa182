// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSQLiteStepBudget.h"

#include <algorithm>
#include <cstdint>

#include <sqlite3.h>

#include "Log.h"

namespace QELSQLiteStepBudget {

namespace {

using SteadyClock = std::chrono::steady_clock;

// The start of the step running on this thread; a step never moves between
// threads, and one thread runs one step at a time.
thread_local bool tl_inStep = false;
thread_local SteadyClock::time_point tl_stepStart;

// SQLite calls this every kInstructions virtual machine instructions while a
// statement runs; a non-zero answer interrupts it. The budget travels in the
// context pointer itself, so nothing has to outlive the connection.
constexpr int kInstructions = 1000;

// The shortest budget of the reads running on this thread; 0: none.
thread_local std::int64_t tl_readBudgetMs = 0;

int onProgress(void* context)
{
    if (!tl_inStep)
        return 0;
    // Real time, not the program's scaled clock: the budget is a safety net
    // far above any honest step, and a sped-up test clock would make honest
    // steps of a loaded machine look hostile. Tests pass a short budget.
    auto budget = std::chrono::milliseconds(reinterpret_cast<std::intptr_t>(context));
    if (tl_readBudgetMs > 0 && tl_readBudgetMs < budget.count())
        budget = std::chrono::milliseconds(tl_readBudgetMs);
    return SteadyClock::now() - tl_stepStart > budget ? 1 : 0;
}

} // namespace

void guard(sqlite3* db, std::chrono::milliseconds budget)
{
    if (!db)
        return;
    // No writes to the schema or to shadow tables, and no function of the
    // file's own views or triggers that SQLite does not know to be harmless.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    const auto ms = static_cast<std::intptr_t>(std::max<std::int64_t>(budget.count(), 1));
    sqlite3_progress_handler(db, kInstructions, onProgress, reinterpret_cast<void*>(ms));
}

Scope::Scope()
    : m_outermost(!tl_inStep)
{
    if (m_outermost) {
        tl_inStep = true;
        tl_stepStart = SteadyClock::now();
    }
}

Scope::~Scope()
{
    if (m_outermost)
        tl_inStep = false;
}

namespace {
thread_local Read* tl_read = nullptr;
} // namespace

Read::Read()
    : m_outer(tl_read)
    , m_budget(m_outer ? m_outer->m_budget : std::chrono::milliseconds(0))
{
    tl_read = this;
}

Read::Read(std::chrono::milliseconds budget)
    : Read()
{
    if (budget.count() > 0 && (m_budget.count() == 0 || budget < m_budget))
        m_budget = budget;
    tl_readBudgetMs = m_budget.count();
}

Read::~Read()
{
    tl_read = m_outer;
    tl_readBudgetMs = m_outer ? m_outer->m_budget.count() : 0;
}

Read* Read::current() { return tl_read; }

void Read::failCurrent(const QString& what, const QString& reason)
{
    if (tl_read)
        tl_read->fail(what, reason);
}

void Read::fail(const QString& what, const QString& reason)
{
    if (!m_error.isEmpty())
        return;
    const QString why = reason.isEmpty() || reason == QLatin1String("not an error")
        ? QStringLiteral("a query failed")
        : reason;
    m_error = QStringLiteral("this database is damaged: %1: %2").arg(what, why);
}

void failStatement(const char* reader, const QString& what, const QString& reason)
{
    qCWarning(lcOrvane).noquote() << QString::fromLatin1(reader) + QLatin1Char(':') << what
                                  << "could not be read:" << reason;
    Read::failCurrent(what + QStringLiteral(" could not be read"), reason);
}

} // namespace QELSQLiteStepBudget
