// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactsReader.h"

#include <algorithm>
#include <unordered_set>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "Locations.h"
#include "Log.h"
#include "QELContactStore.h"

namespace {

QString lowered(const std::optional<QString>& text) { return text ? text->toLower() : QString(); }

bool isEmpty(const std::optional<QString>& text) { return !text || text->isEmpty(); }

QString nameKey(const QELContact& contact)
{
    return (lowered(contact.givenName) + lowered(contact.additionalName)
            + lowered(contact.familyName))
        .trimmed();
}

// Moves the duplicate's details to the survivor, dropping those the survivor
// (or an earlier detail of the duplicate) already has.
template <typename Detail> void mergeDetails(std::vector<std::shared_ptr<Detail>>& from,
                                             std::vector<std::shared_ptr<Detail>>& into)
{
    if (from.empty())
        return;
    if (into.empty()) {
        into = std::move(from);
        from.clear();
        return;
    }
    for (std::shared_ptr<Detail>& detail : from) {
        const bool duplicate =
            std::any_of(into.begin(), into.end(), [&detail](const std::shared_ptr<Detail>& held) {
                return detail->compare(*held);
            });
        if (!duplicate)
            into.push_back(std::move(detail));
    }
    from.clear();
}

} // namespace

QELContactsReader::~QELContactsReader() = default;

bool QELContactsReader::init()
{
    const QString folder = Locations::temporaryFolder();
    QString path;
    if (!folder.isEmpty()) {
        path = folder + QLatin1Char('/') + QLatin1String(QELContactStore::kFileName);
        // A new read starts from nothing; a failed removal leaves the store to
        // memory below.
        if (QFileInfo::exists(path) && !QFile::remove(path))
            qCWarning(lcOrvane) << "cannot remove the contacts store of an earlier read" << path;
    }
    m_store = QELContactStore::open(path);
    if (!m_store) {
        qCWarning(lcOrvane) << "no contacts store could be made";
        return false;
    }
    return true;
}

bool QELContactsReader::loadContacts() { return !_dbPath.isEmpty() && QFileInfo(_dbPath).isFile(); }

QList<QELContactPtr> QELContactsReader::getContacts() const
{
    QList<QELContactPtr> list;
    if (!m_store)
        return list;
    list.reserve(static_cast<qsizetype>(m_store->contacts().size()));
    for (const QELContactPtr& contact : m_store->contacts())
        list.append(contact);
    // QString's order compares UTF-16 code units: case-sensitive, by
    // character; an absent key sorts before every text.
    std::stable_sort(list.begin(), list.end(), [](const QELContactPtr& a, const QELContactPtr& b) {
        return a->searchReference < b->searchReference;
    });
    return list;
}

std::optional<QString> QELContactsReader::useStringIfSet(const std::optional<QString>& first,
                                                         const std::optional<QString>& otherwise)
{
    if (!first)
        return otherwise;
    if (first->isEmpty() && otherwise)
        return otherwise;
    return first;
}

void QELContactsReader::mergeIdenticalContacts()
{
    if (!m_store || m_store->contacts().empty())
        return;
    std::vector<QELContactPtr> byUid = m_store->contacts();
    std::stable_sort(
        byUid.begin(), byUid.end(),
        [](const QELContactPtr& a, const QELContactPtr& b) { return a->uid < b->uid; });
    QHash<QString, QList<QELContactPtr>> survivors;
    survivors.reserve(qsizetype(byUid.size()));
    // The duplicates leave the store together at the end: one at a time,
    // each would cost a walk over the whole store.
    std::unordered_set<const QELContact*> merged;
    auto mergeInto = [&](const QELContactPtr& duplicate, const QELContactPtr& survivor) {
        if (mergeContactDetails(duplicate, survivor))
            merged.insert(duplicate.get());
    };
    for (const QELContactPtr& contact : byUid) {
        const QString key = nameKey(*contact);
        auto found = survivors.find(key);
        if (found == survivors.end()) {
            survivors.insert(key, {contact});
            continue;
        }
        if (isEmpty(contact->organisation)) {
            mergeInto(contact, found->first());
            continue;
        }
        const QString organisation = contact->organisation->toLower();
        QELContactPtr candidate;
        for (const QELContactPtr& survivor : *found) {
            if (!candidate && isEmpty(survivor->organisation)) {
                candidate = survivor;
                continue;
            }
            if (lowered(survivor->organisation) == organisation) {
                candidate = survivor;
                break;
            }
        }
        if (candidate)
            mergeInto(contact, candidate);
        else
            found->append(contact);
    }
    m_store->deleteContacts(merged);
    QString error;
    if (!m_store->save(&error))
        qCWarning(lcOrvane) << "cannot save the contacts store" << error;
}

void QELContactsReader::mergeContact(const QELContactPtr& duplicate, const QELContactPtr& survivor)
{
    if (mergeContactDetails(duplicate, survivor) && m_store)
        m_store->deleteContact(duplicate);
}

bool QELContactsReader::mergeContactDetails(const QELContactPtr& duplicate,
                                            const QELContactPtr& survivor)
{
    if (!duplicate || !survivor || duplicate == survivor)
        return false;
    QELContact& d = *duplicate;
    QELContact& s = *survivor;
    const bool urlFromDuplicate = isEmpty(s.url) && d.url.has_value();
    mergeDetails(d.addresses, s.addresses);
    mergeDetails(d.emails, s.emails);
    mergeDetails(d.nickNames, s.nickNames);
    mergeDetails(d.telephones, s.telephones);
    for (auto field : {&QELContact::honorificPrefixes, &QELContact::honorificSuffixes,
                       &QELContact::note, &QELContact::organisation, &QELContact::role,
                       &QELContact::searchReference, &QELContact::url}) {
        s.*field = useStringIfSet(s.*field, d.*field);
    }
    if (urlFromDuplicate)
        s.urlLabel = d.urlLabel;
    if (!s.birthday)
        s.birthday = d.birthday;
    if (s.picture.isEmpty())
        s.picture = d.picture;
    if (s.image.isEmpty())
        s.image = d.image;
    ++m_mergedCount;
    return true;
}
