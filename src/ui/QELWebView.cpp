#include "QELWebView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "AtomicFile.h"
#include "Locations.h"
#include "Log.h"

namespace {

// Selection is refused by the page's own style, since scripts are off.
const QString kNoSelectionStyle = QStringLiteral(
    "<style>*{-webkit-user-select:none !important;user-select:none !important;}</style>");

} // namespace

QELWebView::QELWebView(QWidget* parent)
    : QELWebViewHost(QELWebEngineFactory::Kind::ReadOnlyLocal, &QELWebView::isLocalUrl, parent)
{
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

QELWebView::~QELWebView()
{
    m_pageWriters.stopAndJoinAll();
    if (!m_pageFile.isEmpty())
        QDir(QFileInfo(m_pageFile).path()).removeRecursively();
}

bool QELWebView::isLocalUrl(const QUrl& url)
{
    static const QStringList local = {QStringLiteral("data"), QStringLiteral("file"),
                                      QStringLiteral("qrc"), QStringLiteral("about"),
                                      QStringLiteral("blob")};
    return local.contains(url.scheme().toLower());
}

void QELWebView::setHtml(const QString& html, const QUrl& baseUrl)
{
    static const QRegularExpression head(QStringLiteral("<head[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression body(QStringLiteral("<body[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString page = html;
    if (!m_textSelectable) {
        QRegularExpressionMatch match = head.match(page);
        if (!match.hasMatch())
            match = body.match(page);
        if (match.hasMatch())
            page.insert(match.capturedEnd(), kNoSelectionStyle);
        else
            page.prepend(kNoSelectionStyle);
    }
    const quint64 generation = ++m_generation;
    QByteArray utf8 = page.toUtf8();
    if (utf8.size() <= kLargestInlinePage) {
        if (!m_pageFile.isEmpty()) {
            m_pageWriters.start(
                [previous = m_pageFile] { QDir(QFileInfo(previous).path()).removeRecursively(); });
            m_pageFile.clear();
        }
        if (engine())
            engine()->setHtml(page, baseUrl);
        return;
    }
    // The engine takes an inline page as one data URL, which it refuses past
    // 2 MB (showing nothing), so a large page goes through a file. Its base
    // address, which a file cannot carry, goes into the page.
    if (!baseUrl.isEmpty()) {
        const QByteArray base =
            "<base href=\"" + baseUrl.toEncoded().replace('"', "%22").replace('<', "%3C") + "\"/>";
        const qsizetype at = m_textSelectable ? -1 : utf8.indexOf(kNoSelectionStyle.toUtf8());
        utf8.insert(at < 0 ? 0 : at, base);
    }
    m_pageWriters.start([this, generation, utf8 = std::move(utf8)] {
        const QString folder = Locations::makeScratchFolder(QStringLiteral("web-page"));
        QString error;
        const QString path = folder + QStringLiteral("/page.html");
        if (folder.isEmpty() || !writeFileAtomically(path, utf8, &error)) {
            qCWarning(lcOrvane).noquote()
                << "Web view: a large page could not be written:" << error;
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, generation, path] { loadWrittenPage(generation, path); },
            Qt::QueuedConnection);
    });
}

void QELWebView::setTextSelectable(bool selectable)
{
    m_textSelectable = selectable;
    if (engine())
        engine()->setTextSelectable(selectable);
}

void QELWebView::loadFile(const QString& path)
{
    // A large setHtml() page still being written is not shown after this.
    ++m_generation;
    if (!m_pageFile.isEmpty()) {
        m_pageWriters.start(
            [previous = m_pageFile] { QDir(QFileInfo(previous).path()).removeRecursively(); });
        m_pageFile.clear();
    }
    load(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void QELWebView::load(const QUrl& url)
{
    if (engine())
        engine()->load(url);
}

bool QELWebView::engineAcceptNavigation(const QUrl& url, bool linkClicked)
{
    if (linkClicked) {
        emit this->linkClicked(url);
        return false;
    }
    if (!isLocalUrl(url)) {
        qCDebug(lcOrvane) << "Web view: refused to open a page of scheme" << url.scheme();
        return false;
    }
    return true;
}

void QELWebView::loadWrittenPage(quint64 generation, const QString& path)
{
    if (generation != m_generation) {
        QDir(QFileInfo(path).path()).removeRecursively();
        return;
    }
    const QString previous = m_pageFile;
    m_pageFile = path;
    load(QUrl::fromLocalFile(path));
    if (!previous.isEmpty())
        m_pageWriters.start([previous] { QDir(QFileInfo(previous).path()).removeRecursively(); });
}

bool QELWebView::doCommandBySelector(const QString& command)
{
    if (m_textSelectable && command == QLatin1String("copy:"))
        return false;
    if (command == QLatin1String("copy:") || command == QLatin1String("cut:")) {
        QApplication::clipboard()->clear();
        return true;
    }
    return false;
}

void QELWebView::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void QELWebView::dragEnterEvent(QDragEnterEvent* event) { event->ignore(); }

void QELWebView::dragMoveEvent(QDragMoveEvent* event) { event->ignore(); }

void QELWebView::dropEvent(QDropEvent* event) { event->ignore(); }
