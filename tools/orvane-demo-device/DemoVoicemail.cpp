// SPDX-License-Identifier: GPL-3.0-or-later
// Voicemail, read from a backup: four made-up voicemails from three senders,
// each with its AMR audio. The address book that names two of the senders is
// written by the call log's builder.
#include <QFile>
#include <QTemporaryDir>

#include "DemoCategory.h"
#include "SimulatedDeviceBuilder.h"
#include "VoicemailFixture.h"

namespace DemoDevice {

namespace {

// 2024-05-20 09:00 UTC in Unix seconds, the day of the newest call log entry.
constexpr qint64 kLastDay = 1716195600;
constexpr qint64 kHour = 3600;

struct DemoVoicemail {
    const char* sender;
    qint64 hoursBefore;
    qint64 seconds;
};

const DemoVoicemail kVoicemails[] = {
    {"+15550100123", 170, 6},
    {"+13125550187", 50, 4},
    {"+15550199456", 26, 3},
    {"+15550100123", 2, 5},
};

bool describe(DemoContext& context, QString* error)
{
    QList<VoicemailFixture::Voicemail> rows;
    for (const DemoVoicemail& v : kVoicemails)
        rows.append({QString::fromLatin1(v.sender), kLastDay - v.hoursBefore * kHour, v.seconds});
    QTemporaryDir scratch;
    const QString index = scratch.filePath(QStringLiteral("voicemail.db"));
    if (!VoicemailFixture::writeVoicemailDb(index, rows, {}, error))
        return false;
    QFile file(index);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    context.device().backupFile(QStringLiteral("HomeDomain"),
                                QStringLiteral("Library/Voicemail/voicemail.db"), file.readAll());
    int id = 0;
    for (const DemoVoicemail& v : kVoicemails) {
        // 50 frames of 20 ms a second.
        context.device().backupFile(QStringLiteral("HomeDomain"),
                                    QStringLiteral("Library/Voicemail/%1.amr").arg(++id),
                                    VoicemailFixture::amrAudio(int(v.seconds) * 50));
    }
    return true;
}

[[maybe_unused]] const bool registered =
    DemoCategories::add({QStringLiteral("voicemail"), describe, {}});

} // namespace

} // namespace DemoDevice
