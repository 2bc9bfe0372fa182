#include <cerrno>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "CopyFailure.h"
#include "MessagesAttachmentFiles.h"
#include "QtPrinters.h"

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A full disk while attachments are put beside a page once filled the folder
// with empty "VID_0003 (n).MOV" files, each failed copy taking a number.
TEST(AttachmentPlacing, AFullDiskLeavesNoEmptyFilesAndTakesNoNumbers)
{
    QTemporaryDir work;
    QTemporaryDir folder;
    put(work.filePath("video"), QByteArray(100000, 'v'));
    put(folder.filePath("VID_0003.MOV"), "another video");
    for (const auto placing : {MessagesAttachmentFiles::Placing::Copy,
                               MessagesAttachmentFiles::Placing::Move}) {
        SCOPED_TRACE(placing == MessagesAttachmentFiles::Placing::Copy ? "copy" : "move");
        CopyFailures::clear();
        {
            CopyFailures::ScopedInjectedWriteFailure full(ENOSPC, 1000);
            if (placing == MessagesAttachmentFiles::Placing::Copy) {
                EXPECT_EQ(MessagesAttachmentFiles::place(work.filePath("video"), folder.path(),
                                                         "VID_0003.MOV", placing),
                          QString());
                EXPECT_EQ(CopyFailures::last(), CopyFailure::DiskFull);
            }
        }
        EXPECT_EQ(entries(folder.path()), QStringList{"VID_0003.MOV"});
        // Once there is room again the attachment takes the first free number.
        EXPECT_EQ(MessagesAttachmentFiles::place(work.filePath("video"), folder.path(),
                                                 "VID_0003.MOV", placing),
                  "VID_0003 (1).MOV");
        EXPECT_EQ(entries(folder.path()), (QStringList{"VID_0003 (1).MOV", "VID_0003.MOV"}));
        QFile::remove(folder.filePath("VID_0003 (1).MOV"));
        put(work.filePath("video"), QByteArray(100000, 'v'));
    }
    // The same attachment already there is the one file for both.
    EXPECT_EQ(MessagesAttachmentFiles::place(work.filePath("video"), folder.path(), "VID_0003.MOV",
                                             MessagesAttachmentFiles::Placing::Copy),
              "VID_0003 (1).MOV");
    EXPECT_EQ(MessagesAttachmentFiles::place(work.filePath("video"), folder.path(), "VID_0003.MOV",
                                             MessagesAttachmentFiles::Placing::Copy),
              "VID_0003 (1).MOV");
}

} // namespace
