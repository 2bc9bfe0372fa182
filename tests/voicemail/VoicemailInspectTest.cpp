// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect voicemail` run as a program over a folder of copies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "SQLiteDamage.h"
#include "ToolRun.h"
#include "VoicemailTestSupport.h"

using namespace VoicemailTest;
using Person = AddressBookFixture::Person;

namespace {

ToolRun inspect(const QStringList& arguments)
{
    // File names carry dates: one locale and zone, whatever the machine's.
    return runTool(QStringLiteral(ORVANE_INSPECT_PATH), arguments,
                   {{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "en_GB.UTF-8"}, {"TZ", "UTC"}});
}

QJsonObject voicemail(const char* id, const QJsonValue& sender, const QJsonValue& name,
                      const char* date, qint64 seconds, const QJsonValue& file,
                      const QJsonValue& trashed)
{
    QJsonObject json;
    json.insert(QStringLiteral("id"), QString::fromLatin1(id));
    json.insert(QStringLiteral("sender"), sender);
    json.insert(QStringLiteral("name"), name);
    json.insert(QStringLiteral("date"), QString::fromLatin1(date));
    json.insert(QStringLiteral("durationSeconds"), seconds);
    json.insert(QStringLiteral("file"), file);
    json.insert(QStringLiteral("trashed"), trashed);
    return json;
}

class InspectVoicemail : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        m_folder = m_dir.filePath(QStringLiteral("copies"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }
    QTemporaryDir m_dir;
    QString m_folder;
};

TEST_P(InspectVoicemail, PrintsEveryVoicemailAndExportsTheAudio)
{
    const bool trashedColumn = GetParam();
    VoicemailFixture::Schema schema;
    schema.trashedDate = trashedColumn;
    const qint64 may3 = unix(2023, 5, 3, 15, 56, 0);
    ASSERT_TRUE(writeIndex(m_folder,
                           {
                               {QStringLiteral("+1 555 0100"), may3, 42, 1, 0},
                               {QStringLiteral("+1 555 0100"), may3 + 20, 7, 1, 7e8},
                               {QStringLiteral("O'Brien"), 0, 3},
                               {QVariant(), unix(2024, 1, 1), 9},
                               {QStringLiteral("50%"), unix(2024, 2, 1), 5},
                           },
                           schema));
    AddressBookFixture book;
    book.phone(book.person(Person::named("Ann", "Lee")), QStringLiteral("+1 555 0100"));
    ASSERT_TRUE(writeAddressBook(m_folder, book));
    // Found by its path, or by its name at the top of the folder.
    ASSERT_TRUE(writeAudio(m_folder, 1, 10));
    ASSERT_TRUE(VoicemailFixture::writeAmrFile(m_folder + QStringLiteral("/2.amr"), 11));
    ASSERT_TRUE(writeAudio(m_folder, 3, 12));

    const QString out = m_dir.filePath(QStringLiteral("export"));
    const ToolRun run =
        inspect({QStringLiteral("voicemail"), m_folder, QStringLiteral("--export"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonValue no = trashedColumn ? QJsonValue(false) : QJsonValue(QJsonValue::Null);
    const QJsonValue yes = trashedColumn ? QJsonValue(true) : QJsonValue(QJsonValue::Null);
    const QJsonValue null(QJsonValue::Null);
    const QJsonArray expected{
        voicemail("1", QStringLiteral("+1 555 0100"), QStringLiteral("Lee, Ann"),
                  "2023-05-03T15:56:00Z", 42, QStringLiteral("Library/Voicemail/1.amr"), no),
        voicemail("2", QStringLiteral("+1 555 0100"), QStringLiteral("Lee, Ann"),
                  "2023-05-03T15:56:20Z", 7, QStringLiteral("Library/Voicemail/2.amr"), yes),
        voicemail("3", QStringLiteral("O'Brien"), null, "1970-01-01T00:00:00Z", 3,
                  QStringLiteral("Library/Voicemail/3.amr"), no),
        voicemail("4", null, null, "2024-01-01T12:00:00Z", 9, null, no),
        voicemail("5", QStringLiteral("50%"), null, "2024-02-01T12:00:00Z", 5, null, no),
    };
    EXPECT_EQ(run.json().value(QStringLiteral("voicemails")).toArray(), expected)
        << run.out.toStdString();

    QStringList files = QDir(out).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files,
              (QStringList{"Lee, Ann 3 May 2023 15_56 1.amr", "Lee, Ann 3 May 2023 15_56.amr",
                           "O'Brien 1 Jan 1970 00_00.amr"}));
    QFile first(out + QStringLiteral("/Lee, Ann 3 May 2023 15_56.amr"));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), VoicemailFixture::amrAudio(10));
}

INSTANTIATE_TEST_SUITE_P(Voicemail, InspectVoicemail, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithTrashedDate"
                                                           : "WithoutTrashedDate");
                         });

TEST(InspectVoicemailInput, ExitsTwoWithoutAnIndexAndSaysWhyForABadOne)
{
    QTemporaryDir dir;
    ToolRun run = inspect({QStringLiteral("voicemail"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("voicemail.db")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    QFile bad(indexPath(dir.path()));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(300, 'x'));
    bad.close();
    run = inspect({QStringLiteral("voicemail"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("could not be read")) << run.err.toStdString();

    // Damaged mid-table: the messages' shape of damage, nothing printed.
    QList<VoicemailFixture::Voicemail> many;
    for (int i = 0; i < 2000; ++i)
        many.append({QStringLiteral("+1 555 %1").arg(i, 4, 10, QLatin1Char('0')), 1000 + i, i});
    ASSERT_TRUE(QFile::remove(indexPath(dir.path())));
    ASSERT_TRUE(writeIndex(dir.path(), many));
    ASSERT_TRUE(SQLiteDamage::damageMiddleOf(indexPath(dir.path()), QStringLiteral("voicemail")));
    run = inspect({QStringLiteral("voicemail"), dir.path()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith("orvane-inspect: voicemail.db: this database is damaged: "))
        << run.err.toStdString();
}

} // namespace
