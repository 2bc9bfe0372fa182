// SPDX-License-Identifier: GPL-3.0-or-later
// Writes one conversation of 100,000 messages, one in ten with a picture, as
// the messages view shows it and as its copy saves it; prints messages per
// second and the page's size, with the pictures missing from the backup and
// with every picture there (each one a file put into the page's folder).
#include <chrono>
#include <cstdio>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimeZone>

#include "BackupFileSource.h"
#include "QELMessagesHTMLGenerator.h"

namespace {

constexpr int kMessages = 100000;

// Answers each picture with a copy of a small JPEG, or with nothing. The
// copies are made before the clock starts: what is measured is the page's
// work, not the backup's.
class PictureSource : public BackupFileSource {
public:
    PictureSource(const QString& scratch, bool holdsPictures, int pictures)
    {
        if (!holdsPictures)
            return;
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(image);
        for (int i = 0; i < pictures; ++i) {
            const QString copy = QStringLiteral("%1/copy-%2.jpg").arg(scratch).arg(i);
            QFile file(copy);
            if (!file.open(QIODevice::WriteOnly))
                continue;
            // Each picture differs, as a conversation's pictures do.
            file.write(jpeg);
            file.write(QByteArray::number(i));
            m_copies.append(copy);
        }
    }
    QString GetPathToDataOfType(int) override { return {}; }
    QString GetPathForDeviceFileNameInDomain(const QString&, const QString&) override
    {
        return m_next < m_copies.size() ? m_copies.at(m_next++) : QString();
    }
    QList<QELDeviceBackupListingItem> GetAllFilesInDomain(const QString&) override { return {}; }

private:
    QStringList m_copies;
    qsizetype m_next = 0;
};

QList<QELMessageDetail> conversationMessages()
{
    QList<QELMessageDetail> messages;
    messages.reserve(kMessages);
    const QDateTime start(QDate(2020, 1, 1), QTime(8, 0), QTimeZone::utc());
    for (int i = 0; i < kMessages; ++i) {
        QELMessageDetail m;
        m.setRowId(i + 1);
        m.setDirection(i % 3 == 0 ? 1 : 0);
        m.setIsMadrid(i % 2 == 0);
        // About forty messages a day, a few a minute.
        m.setTime(start.addSecs(qint64(i) * 2160 / 1));
        m.setMessageAddress(QStringLiteral("+15550100123"));
        const QString text =
            QStringLiteral("Message %1: are we still on for Saturday at the market? "
                           "Bring the <big> basket & the list.")
                .arg(i);
        m.setMessage(text);
        m.appendMessagePiece(QELMessagePiece(QStringLiteral("text"), 0, text));
        if (i % 10 == 0)
            m.appendMessagePiece(
                QELMessagePiece(QStringLiteral("image/jpeg"), 1,
                                QStringLiteral("~/Library/SMS/Attachments/%1/IMG_%2.jpg")
                                    .arg(i % 256, 2, 16, QLatin1Char('0'))
                                    .arg(i)));
        messages.append(m);
    }
    return messages;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("orvane.warning=false"));
    QTemporaryDir dir;
    QELMessagesConversation conversation;
    QELMessageParticipant ann;
    ann.setAddress(QStringLiteral("+15550100123"));
    ann.setName(QStringLiteral("Ann Lee"));
    conversation.setParticipants({ann});
    const QList<QELMessageDetail> messages = conversationMessages();

    std::printf("messages-html: one conversation of %d messages, %d with a picture\n", kMessages,
                kMessages / 10);
    for (bool holds : {false, true}) {
        for (bool copied : {false, true}) {
            const QString run = QStringLiteral("%1-%2").arg(holds).arg(copied);
            QDir().mkpath(dir.filePath(QStringLiteral("scratch-") + run));
            PictureSource source(dir.filePath(QStringLiteral("scratch-") + run), holds,
                                 kMessages / 10);
            QELMessagesHTMLGenerator generator;
            generator.setTemporaryFolder(dir.filePath(QStringLiteral("tmp-") + run));
            const auto begin = std::chrono::steady_clock::now();
            const QStringList pages = copied
                ? generator.generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
                    conversation, messages, &source, dir.filePath(QStringLiteral("out-") + run))
                : generator.generateHTMLForConversationWithMessagesUseDeviceBackup(
                    conversation, messages, &source);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const qint64 bytes = pages.isEmpty() ? 0 : QFileInfo(pages.first()).size();
            std::printf("  %-6s page, pictures %-7s %6.2f s  %9.0f messages/s  %6.1f MiB\n",
                        copied ? "copied" : "shown", holds ? "there:" : "missing:", seconds,
                        kMessages / seconds, double(bytes) / (1024 * 1024));
        }
    }
    std::printf("  aim: >= 100000 messages/s\n");
    return 0;
}
