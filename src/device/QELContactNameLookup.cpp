// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELContactNameLookup.h"

#include <string>

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QVariantMap>

#include "Log.h"
#include "Plist.h"
#include "QELSQLiteDatabase.h"
#include "QELSQLiteHelper.h"
#include "QELSQLiteStatement.h"
#include "QELSQLiteStepBudget.h"
#include "ThreadCheck.h"

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

const QString kPerson = QStringLiteral("ABPerson");
const QString kMultiValue = QStringLiteral("ABMultiValue");
const QString kFullText = QStringLiteral("ABPersonFullTextSearch_content");
const QString kDefaultRegion = QStringLiteral("US");

// ABMultiValue.property of the values that name a caller.
constexpr int kPhoneProperty = 3;
constexpr int kEmailProperty = 4;

// Longer than any telephone number with its punctuation: a longer text is
// not parsed (and libphonenumber refuses such input anyway).
constexpr qsizetype kLongestNumberText = 250;

bool isKnownRegion(const QString& region)
{
    return region.size() == 2
        && PhoneNumberUtil::GetInstance()->GetCountryCodeForRegion(region.toStdString()) != 0;
}

// The number parsed, or none for a text that is not a telephone number.
std::optional<PhoneNumber> parsedNumber(const QString& text, const QString& region)
{
    if (text.size() > kLongestNumberText)
        return std::nullopt;
    bool hasDigit = false;
    for (const QChar c : text) {
        if (c.isDigit()) {
            hasDigit = true;
            break;
        }
    }
    if (!hasDigit)
        return std::nullopt;
    PhoneNumber number;
    if (PhoneNumberUtil::GetInstance()->Parse(text.toStdString(), region.toStdString(), &number)
        != PhoneNumberUtil::NO_PARSING_ERROR)
        return std::nullopt;
    return number;
}

// The first pieces of an index column split at blanks: far more than a
// contact's numbers in all their forms, few enough that a hostile column of
// millions of pieces costs no time.
constexpr qsizetype kMostPiecesPerColumn = 256;

QStringList pieces(const QString& column)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList found = column.left(kMostPiecesPerColumn * 32).split(blanks, Qt::SkipEmptyParts);
    if (found.size() > kMostPiecesPerColumn)
        found.resize(kMostPiecesPerColumn);
    return found;
}

// A preferences file of the device: its dictionary, or, when `why` is set,
// what is wrong with it ("is empty", "is damaged: <reason>").
QVariant readPreferences(const QString& path, QString* why)
{
    if (QFileInfo(path).size() == 0) {
        *why = QStringLiteral("are empty");
        return {};
    }
    QString error;
    const QVariant value = Plist::readFile(path, &error);
    if (!value.isValid())
        *why = QStringLiteral("are damaged: %1")
                   .arg(error.isEmpty() ? QStringLiteral("not a property list") : error);
    else if (value.typeId() != QMetaType::QVariantMap)
        *why = QStringLiteral("are damaged: they hold no dictionary");
    return value;
}

QString internationalForm(const PhoneNumber& number)
{
    std::string formatted;
    PhoneNumberUtil::GetInstance()->Format(number, PhoneNumberUtil::E164, &formatted);
    return QString::fromStdString(formatted);
}

} // namespace

QString QELContactNameLookup::Contact::displayName() const
{
    return nameFromParts(first, last, organization);
}

QELContactNameLookup::QELContactNameLookup(const QString& addressBookPath,
                                           const QString& mobileSMSPlistPath, const QString& region)
    : m_region(isKnownRegion(region) ? region : kDefaultRegion)
{
    assertNotOnGuiThread();
    if (!addressBookPath.isEmpty()) {
        // Within a reader's read this shares its budget; alone it has one of
        // its own for both statements.
        const QELSQLiteStepBudget::Read read;
        readAddressBook(addressBookPath);
    }
    if (!mobileSMSPlistPath.isEmpty())
        readMobileSMSPlist(mobileSMSPlistPath);
}

QString QELContactNameLookup::nameFromParts(const QString& first, const QString& last,
                                            const QString& organization)
{
    QStringList parts;
    for (const QString& part : {first.trimmed(), last.trimmed()}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    if (!parts.isEmpty())
        return parts.join(QLatin1Char(' '));
    return organization.trimmed();
}

QString QELContactNameLookup::matchKey(const QString& address, const QString& region)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (trimmed.contains(QLatin1Char('@')))
        return trimmed.toCaseFolded();
    if (const auto number = parsedNumber(trimmed, isKnownRegion(region) ? region : kDefaultRegion))
        return internationalForm(*number);
    return trimmed;
}

QString QELContactNameLookup::regionFromLocale(const QString& locale)
{
    // "fr_CA@calendar=gregorian", "zh-Hans_CN", "en-GB": the region is the
    // last part of two capital letters.
    const QString name = locale.section(QLatin1Char('@'), 0, 0);
    static const QRegularExpression separators(QStringLiteral("[_-]"));
    const QStringList parts = name.split(separators, Qt::SkipEmptyParts);
    for (qsizetype i = parts.size() - 1; i >= 1; --i) {
        const QString& part = parts[i];
        if (part.size() == 2 && part[0].isUpper() && part[1].isUpper() && part[0].unicode() < 128
            && part[1].unicode() < 128)
            return isKnownRegion(part) ? part : kDefaultRegion;
    }
    return kDefaultRegion;
}

QString QELContactNameLookup::regionFromGlobalPreferences(const QString& plistPath,
                                                          QString* problem)
{
    if (problem)
        problem->clear();
    if (plistPath.isEmpty() || !QFileInfo(plistPath).isFile())
        return kDefaultRegion;
    QString why;
    const QVariant preferences = readPreferences(plistPath, &why);
    if (!why.isEmpty()) {
        const QString said =
            QStringLiteral("the global preferences %1 %2; numbers are read as of the region %3")
                .arg(QFileInfo(plistPath).fileName(), why, kDefaultRegion);
        qCWarning(lcOrvane).noquote() << "Contacts lookup:" << said;
        if (problem)
            *problem = said;
        return kDefaultRegion;
    }
    const QVariant locale = preferences.toMap().value(QStringLiteral("AppleLocale"));
    return locale.typeId() == QMetaType::QString ? regionFromLocale(locale.toString())
                                                 : kDefaultRegion;
}

QString QELContactNameLookup::globalPreferencesPath()
{
    return QStringLiteral("Library/Preferences/.GlobalPreferences.plist");
}

void QELContactNameLookup::addKey(const QString& key, qint64 person)
{
    if (key.isEmpty())
        return;
    const auto held = m_personByKey.find(key);
    if (held == m_personByKey.end())
        m_personByKey.insert(key, person);
    else if (person < *held)
        *held = person;
}

void QELContactNameLookup::readAddressBook(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QString error;
    QELSQLiteDatabase db = QELSQLiteDatabase::openCopyReadOnly(path, &error);
    if (!db.isOpen()) {
        qCWarning(lcOrvane).noquote()
            << "Contacts lookup: the address book could not be opened:" << error;
        m_problems.append(
            QStringLiteral("the address book %1 could not be read, so no caller is named: %2")
                .arg(QFileInfo(path).fileName(), error));
        return;
    }
    sqlite3* handle = db.handle();
    const bool hasValues = QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(
                               handle, kPerson, QStringLiteral("ROWID"))
        && QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kMultiValue,
                                                                    QStringLiteral("record_id"))
        && QELSQLiteHelper::doesDatabaseContainTableWithColumnNamed(handle, kMultiValue,
                                                                    QStringLiteral("value"));
    if (hasValues) {
        auto personColumn = [&](const char* column) {
            return QELSQLiteHelper::columnOrNull(handle, kPerson, QString::fromLatin1(column),
                                                 QStringLiteral("person"));
        };
        QELSQLiteStatement people(
            handle,
            QStringLiteral("SELECT person.ROWID, %1, %2, %3, mvalue.value, %4 FROM ABPerson "
                           "person LEFT JOIN ABMultiValue mvalue ON person.ROWID = "
                           "mvalue.record_id ORDER BY person.ROWID")
                .arg(personColumn("First"), personColumn("Last"), personColumn("Organization"),
                     QELSQLiteHelper::columnOrNull(handle, kMultiValue, QStringLiteral("property"),
                                                   QStringLiteral("mvalue"))));
        const bool read = people.forEachRow([&](const QELSQLiteStatement& row) {
            const qint64 person = row.int64(0);
            if (!m_people.contains(person))
                m_people.insert(person, {row.text(1), row.text(2), row.text(3)});
            const QString value = row.text(4);
            if (value.trimmed().isEmpty())
                return true;
            // Postal addresses, web addresses, dates: no caller is named by them.
            if (!row.isNull(5)) {
                const qint64 property = row.int64(5);
                if (property != kPhoneProperty && property != kEmailProperty)
                    return true;
            }
            addKey(matchKey(value, m_region), person);
            return true;
        });
        if (!read) {
            qCWarning(lcOrvane).noquote()
                << "Contacts lookup: the address book could not be read:" << people.errorMessage();
            m_problems.append(QStringLiteral("the address book %1 is damaged, so no caller is "
                                             "named: %2")
                                  .arg(QFileInfo(path).fileName(), people.errorMessage()));
            m_people.clear();
            m_personByKey.clear();
        } else {
            m_hasAddressBook = true;
        }
    }
    readFullTextIndex(handle, QFileInfo(path).fileName());
}

void QELContactNameLookup::readFullTextIndex(sqlite3* handle, const QString& fileName)
{
    if (!QELSQLiteHelper::doesDatabaseContainTableOrView(handle, kFullText))
        return;
    // The index's columns have been renumbered between systems; a column this
    // system lacks reads as NULL. Its row is the person's row.
    QStringList columns;
    for (const char* column : {"c0First", "c1Last", "c6Organization", "c15Phone", "c16Email"})
        columns << QELSQLiteHelper::columnOrNull(handle, kFullText, QString::fromLatin1(column));
    QELSQLiteStatement rows(handle,
                            QStringLiteral("SELECT docid, %1 FROM %2 ORDER BY docid")
                                .arg(columns.join(QStringLiteral(", ")), kFullText));
    QHash<QString, qint64> found;
    QHash<qint64, Contact> named;
    const bool read = rows.forEachRow([&](const QELSQLiteStatement& row) {
        // Kept apart from the people of ABPerson, whose rows these may not be.
        const qint64 person = -1 - row.int64(0);
        // The first row holding a number names it (rows come in order).
        auto keep = [&](const QString& key) {
            if (!key.isEmpty() && !found.contains(key))
                found.insert(key, person);
        };
        named.insert(person, {row.text(1), row.text(2), row.text(3)});
        // The phone column holds each number in several forms ("+15550100111
        // 5550100111"), split at blanks: a piece too short to be a whole
        // number of the region (a local part, a piece of a number written
        // with blanks) names nobody.
        for (const QString& piece : pieces(row.text(4))) {
            const auto number = parsedNumber(piece, m_region);
            if (!number)
                keep(piece); // not a number: matches only itself
            else if (PhoneNumberUtil::GetInstance()->IsPossibleNumber(*number))
                keep(internationalForm(*number));
        }
        for (const QString& piece : pieces(row.text(5))) {
            if (piece.contains(QLatin1Char('@')))
                keep(matchKey(piece, m_region));
        }
        return true;
    });
    if (!read) {
        qCWarning(lcOrvane).noquote()
            << "Contacts lookup: the address book's full-text index could not be read:"
            << rows.errorMessage();
        m_problems.append(QStringLiteral("the full-text index of the address book %1 is "
                                         "damaged, so callers are named by its values alone: %2")
                              .arg(fileName, rows.errorMessage()));
        return;
    }
    // The values of ABMultiValue come first; the index only adds numbers.
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        if (!m_personByKey.contains(it.key()))
            m_personByKey.insert(it.key(), it.value());
    }
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        m_people.insert(it.key(), it.value());
    m_hasAddressBook = true;
}

void QELContactNameLookup::readMobileSMSPlist(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QString why;
    const QVariant preferences = readPreferences(path, &why);
    if (!why.isEmpty()) {
        const QString problem = QStringLiteral("the messages preferences %1 %2; addresses are "
                                               "named from the address book alone")
                                    .arg(QFileInfo(path).fileName(), why);
        qCWarning(lcOrvane).noquote() << "Contacts lookup:" << problem;
        m_problems.append(problem);
        return;
    }
    const QVariant cache = preferences.toMap().value(QStringLiteral("_im_ab_cache"));
    if (cache.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap entries = cache.toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        m_cachedRecordIds.insert(it.key(), it.value().toString());
}

std::optional<QELContactNameLookup::Contact> QELContactNameLookup::contactForAddress(
    const QString& address) const
{
    if (address.trimmed().isEmpty())
        return std::nullopt;
    // The device's own cache names the address as the device wrote it.
    if (const auto record = m_cachedRecordIds.constFind(address + QStringLiteral("_record_id"));
        record != m_cachedRecordIds.cend()) {
        bool ok = false;
        const qint64 person = record->trimmed().toLongLong(&ok);
        if (const auto contact = m_people.constFind(person);
            ok && person >= 0 && contact != m_people.cend() && !contact->displayName().isEmpty())
            return *contact;
    }
    const auto person = m_personByKey.constFind(matchKey(address, m_region));
    if (person == m_personByKey.cend())
        return std::nullopt;
    const auto contact = m_people.constFind(*person);
    if (contact == m_people.cend())
        return std::nullopt;
    return *contact;
}

QString QELContactNameLookup::nameForAddress(const QString& address) const
{
    const auto contact = contactForAddress(address);
    if (!contact)
        return {};
    const QString name = contact->displayName();
    return name.isEmpty() ? QString() : name;
}
