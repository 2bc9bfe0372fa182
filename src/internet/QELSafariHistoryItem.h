// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

// One visit of Safari's history: the page's title and address and when it was
// visited (UTC), with the visit count the history file stores for the page.
class QELSafariHistoryItem {
public:
    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const QString& address() const { return m_address; }
    void setAddress(const QString& address) { m_address = address; }
    const QDateTime& lastVisitied() const { return m_lastVisitied; }
    void setLastVisitied(const QDateTime& time) { m_lastVisitied = time; }
    // How often the page was visited, as the file counts it; none when the
    // file does not say.
    std::optional<qint64> visitCount() const { return m_visitCount; }
    void setVisitCount(std::optional<qint64> count) { m_visitCount = count; }

private:
    QString m_title;
    QString m_address;
    QDateTime m_lastVisitied;
    std::optional<qint64> m_visitCount;
};
