// SPDX-License-Identifier: GPL-3.0-or-later
#include "QELMessagesHTMLGenerator.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QSysInfo>

#include "AtomicFile.h"
#include "AtomicFileBatch.h"
#include "CopyFailure.h"
#include "FolderBackupFileSource.h"
#include "LocaleTime.h"
#include "LocalizedStrings.h"
#include "Locations.h"
#include "Log.h"
#include "MessagesAttachmentFiles.h"
#include "ProductInfo.h"
#include "QELMessageHTMLFormatter.h"
#include "QELMessagesHTMLGeneratorDelegate.h"
#include "QELMessagesWhatsAppHTMLFormatter.h"
#include "SafePath.h"
#include "TextEscaping.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kShownPagesFolder = QStringLiteral("message_temp");
const QString kShownAttachmentsFolder = QStringLiteral("files");
const QString kRangeFormat = QStringLiteral("dd MMM yyyy");
// The page goes to the file in pieces of about this size.
constexpr qsizetype kFlushBytes = 256 * 1024;

// Appends UTF-16LE text to the page's file, buffered.
class PageWriter {
public:
    explicit PageWriter(QIODevice& out)
        : m_out(out)
    {
        m_buffer.reserve(kFlushBytes + 4096);
    }

    void byteOrderMark() { m_buffer.append("\xFF\xFE", 2); }

    void append(const QString& text)
    {
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            m_buffer.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        } else {
            for (QChar c : text) {
                const char16_t unit = c.unicode();
                m_buffer.append(char(unit & 0xFF));
                m_buffer.append(char(unit >> 8));
            }
        }
        if (m_buffer.size() >= kFlushBytes)
            flush();
    }

    bool flush()
    {
        if (!m_buffer.isEmpty() && m_ok)
            m_ok = m_out.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
        return m_ok;
    }

    bool ok() const { return m_ok; }

private:
    QIODevice& m_out;
    QByteArray m_buffer;
    bool m_ok = true;
};

// One rule written a declaration a line, as the page's style sheet has them.
QString blockRule(const char* selector, std::initializer_list<const char*> declarations)
{
    const QString indent(14, QLatin1Char(' '));
    QString rule = QString::fromLatin1(selector) + QStringLiteral(" {") + kCrLf;
    for (const char* declaration : declarations)
        rule += indent + QString::fromLatin1(declaration) + kCrLf;
    return rule + indent + QStringLiteral("}") + kCrLf;
}

QString lineRule(const char* rule)
{
    return QString::fromLatin1(rule) + QStringLiteral(" ") + kCrLf;
}

// The name shown for the message's address: its participant's.
QString nameFor(const QELMessagesConversation& conversation, const QELMessageDetail& message)
{
    const QString address = message.messageAddress();
    if (address.isEmpty())
        return {};
    for (const QELMessageParticipant& participant : conversation.participants()) {
        if (participant.address() == address)
            return participant.name();
    }
    const QString key = QELMessagesConversation::normalizedAddress(address);
    for (const QELMessageParticipant& participant : conversation.participants()) {
        if (QELMessagesConversation::normalizedAddress(participant.address()) == key)
            return participant.name();
    }
    return {};
}

// Who wrote the message, for its heading: "Me" for the user's own (in a
// group the message's handle may be another participant's), else the
// participant of its address; in a conversation with one other person a
// received message without an address (WhatsApp's one-to-one chats) is
// theirs.
QString senderOf(const QELMessagesConversation& conversation, const QELMessageDetail& message)
{
    if (message.isFromMe())
        return QStringLiteral("Me");
    const QString name = nameFor(conversation, message);
    if (!name.isEmpty())
        return name;
    if (!message.messageAddress().isEmpty())
        return message.messageAddress();
    if (conversation.participants().size() == 1) {
        const QELMessageParticipant& other = conversation.participants().first();
        return other.name().isEmpty() ? other.address() : other.name();
    }
    return {};
}

} // namespace

QELMessagesHTMLGenerator::QELMessagesHTMLGenerator() = default;
QELMessagesHTMLGenerator::~QELMessagesHTMLGenerator() = default;

QDateTime QELMessagesHTMLGenerator::startDate() const
{
    std::lock_guard lock(m_mutex);
    return m_startDate;
}

void QELMessagesHTMLGenerator::setStartDate(const QDateTime& date)
{
    std::lock_guard lock(m_mutex);
    m_startDate = date;
}

QDateTime QELMessagesHTMLGenerator::endDate() const
{
    std::lock_guard lock(m_mutex);
    return m_endDate;
}

void QELMessagesHTMLGenerator::setEndDate(const QDateTime& date)
{
    std::lock_guard lock(m_mutex);
    m_endDate = date;
}

QString QELMessagesHTMLGenerator::temporaryFolder() const
{
    return m_temporaryFolder.isEmpty() ? Locations::temporaryFolder() : m_temporaryFolder;
}

QUrl QELMessagesHTMLGenerator::baseURL() const
{
    return QUrl::fromLocalFile(temporaryFolder() + QLatin1Char('/') + kShownPagesFolder
                               + QLatin1Char('/'));
}

void QELMessagesHTMLGenerator::cancel() { ++m_cancels; }

QDateTime QELMessagesHTMLGenerator::shown(const QDateTime& time) const
{
    if (!time.isValid())
        return time;
    return m_timeZone ? time.toTimeZone(*m_timeZone) : time.toLocalTime();
}

QString QELMessagesHTMLGenerator::rangeText(const QDateTime& date) const
{
    return m_locale.toString(shown(date).date(), kRangeFormat);
}

QString QELMessagesHTMLGenerator::fileStemForTitle(const QString& title) const
{
    const QDateTime start = startDate();
    const QDateTime end = endDate();
    if (start.isValid() && end.isValid())
        return QStringLiteral("%1 (%2 - %3)").arg(title, rangeText(start), rangeText(end));
    return title;
}

QString QELMessagesHTMLGenerator::_styles()
{
    static const QString styles = [] {
        QString sheet = QStringLiteral("<STYLE type='text/css'>") + kCrLf;
        sheet += blockRule("body",
                           {"margin:10;", "font-family: Verdana, Geneva, sans-serif;",
                            "font-size: 12px;", "text-align: left;", "line-height: 20px;",
                            "background-color:ffffff;"});
        sheet += blockRule("h1",
                           {"font-family: Verdana, Geneva, sans-serif;", "font-weight:600;",
                            "font-size:16px;", "line-height: normal;", "margin-bottom:5px;"});
        sheet += QStringLiteral(
                     ".messageinfo{font-size:10px; color:#000;margin-bottom:2px; padding:0px 0px "
                     "0px 15px;}")
            + kCrLf;
        sheet += lineRule(".messageinfo.sent{text-align:left; margin-left:20%;}");
        sheet += lineRule(".messageinfo.receive{margin-left:20px;}");
        sheet += lineRule(
            ".message {position:relative;padding:15px;background:#075698; "
            "-webkit-border-radius:10px;-moz-border-radius:10px;border-radius:10px;background:#"
            "BFF343;margin-left:20%;margin-right:20px;margin-bottom:20px;}");
        // A long word or address breaks inside its bubble rather than
        // running out of it.
        sheet += lineRule(".message {overflow-wrap:anywhere; word-wrap:break-word;}");
        sheet += lineRule(".message img, .message video {max-width:100%;}");
        sheet += lineRule(".message.receive {margin-left:40px;background:#e5e4e4;margin-left:20px;"
                          "margin-right:20%; border: 1px solid #e5e4e4;}");
        sheet += lineRule(".message.sent {margin-left:20%;margin-right:20px; border:1px solid "
                          "#BFF343;}");
        sheet += lineRule(".message.sent.sms {background:#BFF343; border:1px solid #BFF343;}");
        sheet +=
            lineRule(".message.sent.imessage {background:#98c7ff; border: 1px solid #98c7ff;}");
        sheet += lineRule(".message:after {content:\"\";position:absolute;bottom:-20px; left:50px; "
                          "border-width:20px 0 0 20px; border-style:solid;border-color:#BFF343 "
                          "transparent;display:block;width:0;}");
        sheet += lineRule(".message.receive:after {top:16px;left:-20px;bottom:auto;border-width:"
                          "15px 20px 0 0;border-color:transparent #e5e4e4;}");
        sheet += lineRule(".message.sent:after {top:16px;right:-20px; bottom:auto;left:auto;"
                          "border-width:15px 0 0 20px; border-color:transparent #BFF343;}");
        sheet += lineRule(".message.sent.imessage:after {border-color:transparent #98c7ff;}");
        sheet += lineRule(".noMessagesInDateRange {background-color: #DDD;padding: 20px;"
                          "margin-left: auto; margin-right: auto;margin-top:50px;width: 80%;"
                          "text-align:center;}");
        sheet += blockRule(".pageIndex", {"padding:2px;", "width:100%;"});
        sheet += blockRule(".dateStamp",
                           {"text-align:center;", "color:gray;", "font-size:10px;",
                            "border-bottom: 1px solid gray;", "margin: 40px 0px 20px 0px;",
                            "width:50%;"});
        return sheet + QStringLiteral("</STYLE>") + kCrLf;
    }();
    return styles;
}

QString QELMessagesHTMLGenerator::
    _htmlHeaderForConversationWithWithTotalMessageCountWithPageIndexCode(
        const QString& title, quint64 count, const QString& pageIndexCode) const
{
    QString header = QStringLiteral("<HTML>") + kCrLf + QStringLiteral("<HEAD>") + kCrLf;
    // The file is UTF-16 with its mark, and says so.
    header += QStringLiteral(
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-16\" />");
    header += _styles() + QStringLiteral("</HEAD>") + kCrLf;
    header += QStringLiteral("<BODY>") + kCrLf + QStringLiteral("<H1>")
        + L("CONVERSATIONWITH").arg(TextEscaping::htmlText(title)) + QStringLiteral("</H1>")
        + kCrLf;
    header += Ln("CONTAINSXMESSAGES", count);
    header += pageIndexCode;
    const QDateTime start = startDate();
    const QDateTime end = endDate();
    if (start.isValid() && end.isValid())
        header += QStringLiteral("<br/>") + kCrLf
            + L("SHOWINGMESSAGESBETWEENDATES")
                  .arg(TextEscaping::htmlText(rangeText(start)),
                       TextEscaping::htmlText(rangeText(end)));
    return header + kCrLf + QStringLiteral("<hr size=1 noshade/>");
}

QString QELMessagesHTMLGenerator::_htmlFooter(bool exportForm)
{
    QString footer = QStringLiteral("<hr size=1 noshade/>") + kCrLf;
    if (exportForm)
        footer += QStringLiteral("<small>") + TextEscaping::htmlText(L("PRODUCEDBY"))
            + QStringLiteral(" <a href=\"")
            + TextEscaping::htmlAttribute(ProductInfo::makerHomePage()) + QStringLiteral("\">")
            + TextEscaping::htmlText(ProductInfo::name()) + QStringLiteral("</a></small>") + kCrLf;
    return footer + QStringLiteral("</BODY>") + kCrLf + QStringLiteral("</HTML>");
}

QString QELMessagesHTMLGenerator::_generatePageIndexWithNumberOfPagesConversationName(
    int pages, const QString& stem)
{
    QString index = QStringLiteral("<div class='pageIndex'>%1 : ").arg(L("PAGES")) + kCrLf;
    for (int i = 1; i <= pages; ++i) {
        const QString target =
            (i == 1 ? stem : QStringLiteral("%1_%2").arg(stem).arg(i)) + QStringLiteral(".html");
        index += QStringLiteral("<a href='%1'>%2</a>&nbsp;")
                     .arg(MessagesAttachmentFiles::relativeUrlAttribute(target))
                     .arg(i)
            + kCrLf;
    }
    return index + QStringLiteral("</div>") + kCrLf;
}

std::unique_ptr<QELMessagesHTMLFormatterProtocol> QELMessagesHTMLGenerator::makeFormatter(
    const QELMessagesConversation& conversation) const
{
    if (conversation.conversationType() == 0)
        return std::make_unique<QELMessageHTMLFormatter>();
    return std::make_unique<QELMessagesWhatsAppHTMLFormatter>();
}

QStringList QELMessagesHTMLGenerator::generateHTMLForConversationWithMessagesUseDeviceBackup(
    const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
    BackupFileSource* backup)
{
    return generate(conversation, messages, backup, QString(), QString());
}

QStringList QELMessagesHTMLGenerator::generateHTMLForConversationWithMessagesUseViewDatapath(
    const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
    const QString& viewDataPath)
{
    return generate(conversation, messages, nullptr, viewDataPath, QString());
}

QStringList QELMessagesHTMLGenerator::
    generateHTMLForConversationWithMessagesUseDeviceBackupToFilePath(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        BackupFileSource* backup, const QString& folder)
{
    if (folder.isEmpty())
        return {};
    return generate(conversation, messages, backup, QString(), folder);
}

QStringList QELMessagesHTMLGenerator::
    generateHTMLForConversationWithMessagesUseViewDataPathToFilePath(
        const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
        const QString& viewDataPath, const QString& folder)
{
    if (folder.isEmpty())
        return {};
    return generate(conversation, messages, nullptr, viewDataPath, folder);
}

QStringList QELMessagesHTMLGenerator::generate(const QELMessagesConversation& conversation,
                                               const QList<QELMessageDetail>& messages,
                                               BackupFileSource* backup,
                                               const QString& viewDataPath,
                                               const QString& exportFolder)
{
    // A folder of extracted files answers for its attachments as a backup would.
    std::unique_ptr<FolderBackupFileSource> folderSource;
    if (!viewDataPath.isEmpty()) {
        folderSource = std::make_unique<FolderBackupFileSource>(viewDataPath);
        backup = folderSource.get();
    }
    std::unique_ptr<QELMessagesHTMLFormatterProtocol> formatter = makeFormatter(conversation);
    formatter->setIOSVersion(m_iOSVersion);
    formatter->setBackup(backup);
    if (!viewDataPath.isEmpty())
        formatter->setViewDataPath(viewDataPath);
    formatter->setTemporaryFolder(temporaryFolder());
    formatter->setAttachmentFolder(temporaryFolder() + QLatin1Char('/') + kShownPagesFolder
                                   + QLatin1Char('/') + kShownAttachmentsFolder);
    return _generateHTMLForConversationWithMessagesUseMessageFormatter(conversation, messages,
                                                                       *formatter, exportFolder);
}

QStringList QELMessagesHTMLGenerator::_generateHTMLForConversationWithMessagesUseMessageFormatter(
    const QELMessagesConversation& conversation, const QList<QELMessageDetail>& messages,
    QELMessagesHTMLFormatterProtocol& formatter, const QString& exportFolder)
{
    const quint64 cancelsAtStart = m_cancels.load();
    const bool exportForm = !exportFolder.isEmpty();
    const QString temporary = temporaryFolder();
    if (!exportForm && temporary.isEmpty())
        return {};
    const QString base =
        exportForm ? exportFolder : temporary + QLatin1Char('/') + kShownPagesFolder;
    if (!QDir().mkpath(base)) {
        qCWarning(lcOrvane).noquote() << "Messages: the folder of the page cannot be made:" << base;
        return {};
    }
    const QString title = conversation.title();
    SafePath::UniqueNamer namer(base, SafePath::Numbering::Parenthesised,
                                SafePath::Taken::InFolder);
    // A title such as "../x" makes no hidden file: the naming rule sees to it.
    const QString stem = fileStemForTitle(title);
    const QString path =
        namer.claimPath(stem, QStringLiteral("html"), QStringLiteral("Conversation"));
    if (path.isEmpty())
        return {};

    const QString timeFormat = m_locale.dateFormat(QLocale::LongFormat) + QLatin1Char(' ')
        + LocaleTime::shortTimeFormat(m_locale);
    const QString dayFormat = m_locale.dateFormat(QLocale::ShortFormat);
    const bool sms = conversation.conversationType() == 0;
    const double total = double(messages.size());
    const QString received = TextEscaping::htmlText(L("RECEIVELABEL"));

    bool cancelled = false;
    auto produce = [&](QIODevice& out, QString* error) {
        PageWriter page(out);
        page.byteOrderMark();
        page.append(_htmlHeaderForConversationWithWithTotalMessageCountWithPageIndexCode(
            title, quint64(messages.size()), QString()));
        double counter = 0;
        bool hasPrevious = false;
        QDate previousDay;
        // Dates are written once per minute, not once per message.
        qint64 shownMinute = std::numeric_limits<qint64>::min();
        QString shownTime;
        for (const QELMessageDetail& message : messages) {
            if (m_cancels.load() != cancelsAtStart || CopyFailures::cancelRequested()) {
                CopyFailures::note(CopyFailure::Cancelled);
                cancelled = true;
                *error = QStringLiteral("cancelled");
                return false;
            }
            counter += 1.0;
            if (m_delegate)
                m_delegate->OnHTMLGeneratorProgressOf(counter, total);
            const QDateTime time = shown(message.time());
            if (time.isValid()) {
                const qint64 minute = message.time().toSecsSinceEpoch() / 60;
                if (minute != shownMinute) {
                    shownMinute = minute;
                    shownTime = TextEscaping::htmlText(m_locale.toString(time, timeFormat));
                }
                if (hasPrevious && time.date() != previousDay)
                    page.append(QStringLiteral("<center><div class=\"dateStamp\">")
                                + TextEscaping::htmlText(m_locale.toString(time.date(), dayFormat))
                                + QStringLiteral("</div></center>"));
            }
            hasPrevious = true;
            previousDay = time.isValid() ? time.date() : QDate();
            const QString timeText = time.isValid() ? shownTime : QString();

            const QString name = senderOf(conversation, message);
            const QString service = sms
                ? QStringLiteral(" %1 - %2")
                      .arg(timeText,
                           message.isMadrid().value_or(false) ? QStringLiteral(" (iMessage)")
                                                              : QStringLiteral(" (SMS)"))
                : QStringLiteral(" %1 - WhatsApp").arg(timeText);
            if (message.direction() == 1) {
                QString info = QStringLiteral("<div class='messageinfo sent'>");
                if (!name.isEmpty())
                    info += TextEscaping::htmlText(name) + QStringLiteral(" -");
                info += service + QStringLiteral("</div>");
                info += sms && message.isMadrid().value_or(false)
                    ? QStringLiteral("<div class='message sent imessage'>")
                    : QStringLiteral("<div class='message sent'>");
                page.append(info);
            } else {
                QString info =
                    QStringLiteral("<div class='messageinfo receive'>") + kCrLf + received;
                if (!name.isEmpty())
                    info +=
                        QStringLiteral(" - ") + TextEscaping::htmlText(name) + QStringLiteral(" -");
                info += service + QStringLiteral("</div>") + kCrLf
                    + QStringLiteral("<div class='message receive'>") + kCrLf;
                page.append(info);
            }
            if (message.isUnsent())
                page.append(QStringLiteral("<i class='unsent'>")
                            + TextEscaping::htmlText(QStringLiteral("This message was unsent."))
                            + QStringLiteral("</i>"));
            else if (message.containsMessagePieces())
                page.append(formatter.formatHTMLForMessageForDestinationAndSelectedTextIsCopyFormat(
                    message, exportFolder, QString(), exportForm));
            else
                page.append(MessagesAttachmentFiles::htmlTextWithLineBreaks(message.message()));
            page.append(QStringLiteral("</div>") + kCrLf);
            if (!page.ok())
                break;
        }
        if (messages.isEmpty()) {
            page.append(QStringLiteral(" <div class=\"noMessagesInDateRange\">") + kCrLf);
            page.append(QStringLiteral(" <strong>"));
            page.append(TextEscaping::htmlText(L("NOMESSAGESINSELECTEDDATES")));
            page.append(QStringLiteral(" </strong>"));
            page.append(QStringLiteral(" <p>") + kCrLf);
            page.append(TextEscaping::htmlText(L("NOMESSAGESCLICKSELECTDATES")));
            page.append(QStringLiteral(" </p>") + kCrLf);
            page.append(QStringLiteral(" </div>") + kCrLf);
            page.append(QStringLiteral("<br/><br/>"));
        }
        page.append(_htmlFooter(exportForm));
        if (!page.flush()) {
            *error = QStringLiteral("the page could not be written: ") + out.errorString();
            return false;
        }
        return true;
    };
    QString error;
    const bool written = exportForm && m_batch ? m_batch->write(path, produce, &error)
                                               : writeFileAtomically(path, produce, &error);
    if (!written) {
        if (!cancelled)
            qCWarning(lcOrvane).noquote()
                << "Messages: a conversation page could not be written to" << path << ":" << error;
        return {};
    }
    return {path};
}
