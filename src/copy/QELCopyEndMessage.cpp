// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELCopyEndMessage.h"

#include <algorithm>
#include <mutex>

#include <QHash>
#include <QStringList>
#include <QTranslator>

#include "QELCopyOutcome.h"

namespace {

// The English singular and plural of the counted texts. A translation loaded
// later is asked first; without one these stand in, so English reads "1 item"
// and "2 items" instead of "1 item(s)".
class EnglishPluralForms : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        (void)disambiguation;
        if (n < 0 || qstrcmp(context, "QELCopyEndMessage") != 0)
            return {};
        const auto found = forms().constFind(QByteArray(sourceText));
        if (found == forms().constEnd())
            return {};
        return n == 1 ? found->first : found->second;
    }
    bool isEmpty() const override { return false; }

private:
    static const QHash<QByteArray, std::pair<QString, QString>>& forms()
    {
        static const QHash<QByteArray, std::pair<QString, QString>> table = {
            {"%1 of %n item(s) copied",
             {QStringLiteral("%1 of %n item copied"), QStringLiteral("%1 of %n items copied")}},
            {"The disk is full: %1 of %n item(s) copied",
             {QStringLiteral("The disk is full: %1 of %n item copied"),
              QStringLiteral("The disk is full: %1 of %n items copied")}},
            {"%n item(s) could not be copied: %1",
             {QStringLiteral("%n item could not be copied: %1"),
              QStringLiteral("%n items could not be copied: %1")}},
            {"%n item(s) not copied: %1",
             {QStringLiteral("%n item was not copied: %1"),
              QStringLiteral("%n items were not copied: %1")}},
        };
        return table;
    }
};

void installEnglishForms()
{
    static std::once_flag once;
    if (!QCoreApplication::instance())
        return;
    std::call_once(once, [] {
        // Owned by the application from now on; lives as long as the program.
        auto* forms = new EnglishPluralForms;
        forms->setParent(QCoreApplication::instance());
        QCoreApplication::installTranslator(forms);
    });
}

} // namespace

QString QELCopyEndMessage::reasonText(CopyFailure failure)
{
    switch (failure) {
    case CopyFailure::ReadOnlyFolder:
        return tr("the folder is read-only");
    case CopyFailure::MissingFolder:
        return tr("the folder does not exist");
    case CopyFailure::DiskFull:
        return tr("the disk is full");
    case CopyFailure::MissingOnDevice:
        return tr("the file is missing on the device");
    case CopyFailure::UnreadableEntry:
        return tr("a file or folder could not be read");
    case CopyFailure::UnsupportedName:
        return tr("the name is not UTF-8, which the device cannot hold");
    case CopyFailure::None:
    case CopyFailure::Failed:
    case CopyFailure::Cancelled:
        break;
    }
    return tr("a read or a write failed");
}

QString QELCopyEndMessage::title(const QELCopyOutcome& outcome, const QString& allCopied)
{
    installEnglishForms();
    if (outcome.complete())
        return allCopied;
    const int count = int(outcome.itemCount);
    const QString copied = QString::number(outcome.copied);
    if (outcome.cancelled)
        return tr("Copy cancelled: %1 of %n copied", nullptr, count).arg(copied);
    if (outcome.stopped && outcome.firstFailure == CopyFailure::DiskFull)
        return tr("The disk is full: %1 of %n item(s) copied", nullptr, count).arg(copied);
    return tr("%1 of %n item(s) copied", nullptr, count).arg(copied);
}

QString QELCopyEndMessage::detail(const QELCopyOutcome& outcome)
{
    installEnglishForms();
    QStringList parts;
    // A run that stopped by itself did not copy what it never reached either.
    const quint32 notCopied = outcome.stopped
        ? std::max(outcome.failed,
                   outcome.itemCount - std::min(outcome.itemCount,
                                                outcome.copied + outcome.passedOver))
        : outcome.failed;
    if (notCopied > 0)
        parts << tr("%n item(s) could not be copied: %1", nullptr, int(notCopied))
                     .arg(reasonText(outcome.firstFailure));
    if (outcome.passedOver > 0)
        parts << tr("%n item(s) not copied: %1", nullptr, int(outcome.passedOver))
                     .arg(outcome.passedOverReason);
    return parts.join(QStringLiteral("; "));
}
