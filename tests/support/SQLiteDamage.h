// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

#include <QList>
#include <QString>

// Damages a finished SQLite fixture the way a failed copy or a bad disk
// would, so that a reader meets the error while stepping through rows rather
// than when it opens the file. QtCore and SQLite only.
namespace SQLiteDamage {

// The pages (numbered from 1) that hold the rows of `table`, in file order.
QList<int> leafPagesOf(const QString& path, const QString& table);
// Fills one whole page with garbage.
bool overwritePage(const QString& path, int page);
// Overwrites the leaf page in the middle of `table`'s rows: the rows before
// it read, then stepping fails. False when the table has fewer than three
// leaf pages (the fixture is too small to show a partial read).
bool damageMiddleOf(const QString& path, const QString& table);
// Makes `table`'s pages point back at one another as a damaged file's may:
// its root and `levels - 1` of its leaf pages become interior pages whose
// `fanout` children are each the next of them, and the last points at the
// table's first leaf. A scan then meets that leaf's rows fanout^levels times
// and never a page SQLite sees as damaged. False when the table has no
// interior root or fewer than `levels` leaf pages, or `levels` is more than
// SQLite descends (18).
bool repeatRows(const QString& path, const QString& table, int levels, int fanout);
// Cuts the file to its first `bytes` bytes.
bool truncateTo(const QString& path, qint64 bytes);

// Hostile schemas: a view where the reader expects `table`, the table itself
// kept under another name. The view answers the table's rows (with its
// ROWID) once it has counted to `steps`, which each statement over it does
// anew: a few million steps take a fraction of a second, 10^12 never end
// within a test. SQLite may skip the count over a table without rows, so
// the table should have some. False when there is no such table.
bool slowDown(const QString& path, const QString& table, qint64 steps);
// A view whose rows never end: the table's rows again and again.
bool makeEndless(const QString& path, const QString& table);
// How long counting to `steps` takes here (the quickest of a few runs): a
// read budget that one slowed-down statement fits and two do not.
std::chrono::milliseconds timeToCount(qint64 steps);

} // namespace SQLiteDamage
