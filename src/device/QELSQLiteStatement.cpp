// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELSQLiteStatement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

#include "QELSQLiteHelper.h"
#include "QELSQLiteStepBudget.h"

namespace {

// The bound is checked at 1024 rows and each power of two after, so honest
// reads pay for it about twenty times at most.
constexpr qint64 kFirstRowCheck = 1024;

qint64 pragmaValue(sqlite3* db, const char* pragma)
{
    sqlite3_stmt* statement = nullptr;
    qint64 value = 0;
    if (sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

// The connection's message when it is about this failure; otherwise, and
// never as "not an error", the text of the failure's own code.
QString reasonFor(sqlite3* db, int code)
{
    if (code == 0 || code == SQLITE_ROW || code == SQLITE_DONE)
        return QString::fromUtf8(sqlite3_errmsg(db));
    if ((sqlite3_extended_errcode(db) & 0xFF) == (code & 0xFF))
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(code));
}

qint64 fileSize(const char* path)
{
    return path && *path ? QFileInfo(QFile::decodeName(path)).size() : 0;
}

} // namespace

QELSQLiteStatement::QELSQLiteStatement(sqlite3* db, const QString& sql)
    : m_db(db)
{
    if (!db) {
        m_prepareCode = SQLITE_MISUSE;
        return;
    }
    const QByteArray text = sql.toUtf8();
    m_prepareCode = sqlite3_prepare_v2(db, text.constData(), -1, &m_statement, nullptr);
    if (m_prepareCode != SQLITE_OK) {
        m_prepareError = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

QELSQLiteStatement::~QELSQLiteStatement() { finalize(); }

QELSQLiteStatement::QELSQLiteStatement(QELSQLiteStatement&& other) noexcept
    : m_db(other.m_db)
    , m_statement(other.m_statement)
    , m_prepareCode(other.m_prepareCode)
    , m_prepareError(std::move(other.m_prepareError))
    , m_stepCode(other.m_stepCode)
    , m_stepError(std::move(other.m_stepError))
    , m_rows(other.m_rows)
    , m_pastRowBound(other.m_pastRowBound)
    , m_indices(std::move(other.m_indices))
{
    other.m_statement = nullptr;
}

QELSQLiteStatement& QELSQLiteStatement::operator=(QELSQLiteStatement&& other) noexcept
{
    if (this != &other) {
        finalize();
        m_db = other.m_db;
        m_statement = other.m_statement;
        m_prepareCode = other.m_prepareCode;
        m_prepareError = std::move(other.m_prepareError);
        m_stepCode = other.m_stepCode;
        m_stepError = std::move(other.m_stepError);
        m_rows = other.m_rows;
        m_pastRowBound = other.m_pastRowBound;
        m_indices = std::move(other.m_indices);
        other.m_statement = nullptr;
    }
    return *this;
}

bool QELSQLiteStatement::step()
{
    if (!m_statement || m_pastRowBound)
        return false;
    {
        const QELSQLiteStepBudget::Scope scope;
        m_stepCode = sqlite3_step(m_statement);
    }
    if (m_stepCode != SQLITE_ROW) {
        if (m_stepCode != SQLITE_DONE)
            m_stepError = reasonFor(m_db, m_stepCode);
        // SQLite starts the statement again at the next step.
        m_rows = 0;
        return false;
    }
    ++m_rows;
    // Each step of such a read is quick, so the time budget never stops it;
    // only the count of its rows shows that it would never end, and every
    // row its caller keeps would be memory until there is none.
    if (m_rows >= kFirstRowCheck && (m_rows & (m_rows - 1)) == 0 && m_rows > rowBound()) {
        m_pastRowBound = true;
        m_stepCode = SQLITE_CORRUPT;
        // Gives up the read's hold on the file; the statement stays failed.
        sqlite3_reset(m_statement);
        return false;
    }
    return true;
}

qint64 QELSQLiteStatement::rowBound() const
{
    const char* path = sqlite3_db_filename(m_db, "main");
    if (!path || !*path)
        return std::numeric_limits<qint64>::max();
    // Every stored row takes at least a byte of the file or its companion
    // (a join of one row to many meets each of the many once). Pages a
    // transaction of this connection has not yet written out count too.
    const qint64 written = fileSize(path) + fileSize(sqlite3_filename_journal(path))
        + fileSize(sqlite3_filename_wal(path));
    const qint64 pages =
        pragmaValue(m_db, "PRAGMA main.page_count") * pragmaValue(m_db, "PRAGMA main.page_size");
    return std::max(written, pages);
}

bool QELSQLiteStatement::failed() const
{
    return m_stepCode != 0 && m_stepCode != SQLITE_ROW && m_stepCode != SQLITE_DONE;
}

QString QELSQLiteStatement::errorMessage() const
{
    if (!m_db)
        return QStringLiteral("no database");
    if (!m_statement && m_prepareCode != SQLITE_OK)
        return m_prepareError;
    if (m_pastRowBound)
        return QStringLiteral(
            "a query answered more rows than the file could hold; the file is damaged or hostile");
    // Only a guarded connection interrupts itself: its read ran past the budget.
    if (m_stepCode == SQLITE_INTERRUPT)
        return QStringLiteral(
            "a query ran past its time limit; the file may be damaged or hostile");
    if (failed() && !m_stepError.isEmpty())
        return m_stepError;
    return reasonFor(m_db, m_stepCode);
}

bool QELSQLiteStatement::forEachRow(const std::function<bool(const QELSQLiteStatement&)>& row)
{
    if (!m_statement)
        return false;
    while (step()) {
        if (!row(*this))
            return true;
    }
    return m_stepCode == SQLITE_DONE;
}

bool QELSQLiteStatement::execute()
{
    if (!m_statement)
        return false;
    {
        const QELSQLiteStepBudget::Scope scope;
        m_stepCode = sqlite3_step(m_statement);
    }
    sqlite3_reset(m_statement);
    return m_stepCode == SQLITE_DONE;
}

void QELSQLiteStatement::reset()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    m_stepCode = 0;
    m_stepError.clear();
    m_rows = 0;
    m_pastRowBound = false;
}

void QELSQLiteStatement::finalize()
{
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

void QELSQLiteStatement::bindText(int index, const QString& value)
{
    if (!m_statement)
        return;
    if (value.isNull()) {
        sqlite3_bind_null(m_statement, index);
        return;
    }
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, index, utf8.constData(), static_cast<int>(utf8.size()),
                      SQLITE_TRANSIENT);
}

void QELSQLiteStatement::bindInt64(int index, qint64 value)
{
    if (m_statement)
        sqlite3_bind_int64(m_statement, index, value);
}

void QELSQLiteStatement::bindDouble(int index, double value)
{
    if (m_statement)
        sqlite3_bind_double(m_statement, index, value);
}

void QELSQLiteStatement::bindBlob(int index, const QByteArray& value)
{
    if (!m_statement)
        return;
    if (value.isNull())
        sqlite3_bind_null(m_statement, index);
    else
        sqlite3_bind_blob(m_statement, index, value.constData(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
}

void QELSQLiteStatement::bindNull(int index)
{
    if (m_statement)
        sqlite3_bind_null(m_statement, index);
}

void QELSQLiteStatement::bind(int index, const QVariant& value)
{
    if (value.isNull() || !value.isValid()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
        bindInt64(index, value.toLongLong());
        return;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        // Above INT64_MAX the bits are kept, as SQLite would store them.
        bindInt64(index, static_cast<qint64>(value.toULongLong()));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        return;
    case QMetaType::QByteArray:
        bindBlob(index, value.toByteArray());
        return;
    default:
        bindText(index, value.toString());
        return;
    }
}

void QELSQLiteStatement::bindAll(const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i + 1), values.at(i));
}

int QELSQLiteStatement::columnIndex(const QString& name) const
{
    if (!m_statement)
        return -1;
    auto it = m_indices.constFind(name);
    if (it != m_indices.constEnd())
        return *it;
    const int index = QELSQLiteHelper::indexOfColumnNamedWithinStatment(name, m_statement);
    m_indices.insert(name, index);
    return index;
}

bool QELSQLiteStatement::isNull(int column) const { return columnType(column) == SQLITE_NULL; }

int QELSQLiteStatement::columnType(int column) const
{
    if (!m_statement || column < 0 || column >= sqlite3_column_count(m_statement))
        return SQLITE_NULL;
    return sqlite3_column_type(m_statement, column);
}

QString QELSQLiteStatement::text(int column) const
{
    if (isNull(column))
        return QString();
    const void* value = sqlite3_column_text16(m_statement, column);
    if (!value)
        return QString();
    const int bytes = sqlite3_column_bytes16(m_statement, column);
    QString result = QString::fromUtf16(static_cast<const char16_t*>(value), bytes / 2);
    if (result.isNull())
        result = QLatin1String("");
    if (result == QLatin1String("(null)"))
        return QString();
    return result;
}

QString QELSQLiteStatement::storedText(int column) const
{
    if (isNull(column))
        return QString();
    const void* value = sqlite3_column_text16(m_statement, column);
    if (!value)
        return QString();
    QString result = QString::fromUtf16(static_cast<const char16_t*>(value),
                                        sqlite3_column_bytes16(m_statement, column) / 2);
    if (result.isNull())
        result = QLatin1String("");
    return result;
}

qint64 QELSQLiteStatement::int64(int column) const
{
    if (isNull(column))
        return 0;
    return sqlite3_column_int64(m_statement, column);
}

double QELSQLiteStatement::real(int column) const
{
    if (isNull(column))
        return 0.0;
    return sqlite3_column_double(m_statement, column);
}

qint64 QELSQLiteStatement::wholeNumber(int column) const
{
    if (isNull(column))
        return 0;
    if (sqlite3_column_type(m_statement, column) == SQLITE_INTEGER)
        return sqlite3_column_int64(m_statement, column);
    // Converting a double outside qint64's range is undefined behaviour, and
    // a device file can hold any value: clamp, and read NaN as 0.
    const double value = std::trunc(sqlite3_column_double(m_statement, column));
    if (std::isnan(value))
        return 0;
    constexpr double kUpper = 9223372036854775808.0; // 2^63, the first value past the range
    if (value >= kUpper)
        return std::numeric_limits<qint64>::max();
    if (value < -kUpper)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

QByteArray QELSQLiteStatement::blob(int column) const
{
    if (isNull(column))
        return {};
    const void* data = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    if (!data || size <= 0)
        return {};
    return QByteArray(static_cast<const char*>(data), size);
}

QString QELSQLiteStatement::cappedText(int column, qint64 maxBytes, bool* cut) const
{
    if (cut)
        *cut = false;
    if (isNull(column))
        return QString();
    // UTF-8 as stored: its length is known without converting the whole.
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const qint64 bytes = sqlite3_column_bytes(m_statement, column);
    if (!value)
        return QString();
    if (bytes <= maxBytes) {
        QString result = QString::fromUtf8(value, bytes);
        if (result.isNull())
            result = QLatin1String("");
        return result == QLatin1String("(null)") ? QString() : result;
    }
    qint64 end = std::max<qint64>(maxBytes, 0);
    // Back to the start of the character the cut falls in.
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    if (cut)
        *cut = true;
    return QString::fromUtf8(value, end);
}

QByteArray QELSQLiteStatement::cappedBlob(int column, qint64 maxBytes, bool* refused) const
{
    if (refused)
        *refused = false;
    if (isNull(column))
        return {};
    // A blob's size is known before its bytes are read.
    if (sqlite3_column_type(m_statement, column) == SQLITE_BLOB
        && sqlite3_column_bytes(m_statement, column) > maxBytes) {
        if (refused)
            *refused = true;
        return {};
    }
    QByteArray value = blob(column);
    if (value.size() > maxBytes) {
        if (refused)
            *refused = true;
        return {};
    }
    return value;
}
