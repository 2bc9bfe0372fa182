#include "QELWebView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include "AtomicFile.h"
#include "Locations.h"
#include "Log.h"

namespace {

// Selection is refused by the page's own style, since scripts are off.
const QString kNoSelectionStyle = QStringLiteral(
    "<style>*{-webkit-user-select:none !important;user-select:none !important;}</style>");

// The same style for a page loaded from its file, put in by a script of the
// view's own world: the page's own scripts stay off.
QWebEngineScript noSelectionScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("orvane-no-selection"));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QStringLiteral(
        "(function(){var s=document.createElement('style');"
        "s.textContent='*{-webkit-user-select:none !important;user-select:none !important;}';"
        "(document.head||document.documentElement).appendChild(s);})();"));
    return script;
}

// Blocks every request that would leave the machine (images, styles, frames).
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!QELWebView::isLocalUrl(info.requestUrl())) {
            qCDebug(lcOrvane) << "Web view: blocked a request for" << info.requestUrl().scheme();
            info.block(true);
        }
    }
};

// One private, memory-only profile for every read-only view.
QWebEngineProfile* readOnlyProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(qApp);
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setUrlRequestInterceptor(new LocalOnlyInterceptor(p));
        return p;
    }();
    return profile;
}

class ReadOnlyPage : public QWebEnginePage {
public:
    ReadOnlyPage(QELWebView* view)
        : QWebEnginePage(readOnlyProfile(), view)
        , m_view(view)
    {
    }

    void triggerAction(WebAction action, bool checked = false) override
    {
        if (m_view->textSelectable() && (action == Copy || action == SelectAll)) {
            QWebEnginePage::triggerAction(action, checked);
            return;
        }
        switch (action) {
        case Copy:
            m_view->doCommandBySelector(QStringLiteral("copy:"));
            return;
        case Cut:
            m_view->doCommandBySelector(QStringLiteral("cut:"));
            return;
        case SelectAll:
        case Paste:
        case PasteAndMatchStyle:
        case CopyLinkToClipboard:
        case CopyImageToClipboard:
        case CopyImageUrlToClipboard:
        case CopyMediaUrlToClipboard:
        case DownloadLinkToDisk:
        case DownloadImageToDisk:
        case DownloadMediaToDisk:
        case OpenLinkInNewWindow:
        case OpenLinkInNewTab:
        case OpenLinkInNewBackgroundTab:
        case OpenLinkInThisWindow:
        case InspectElement:
        case SavePage:
        case ViewSource:
            return;
        default:
            QWebEnginePage::triggerAction(action, checked);
        }
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (type == NavigationTypeLinkClicked) {
            emit m_view->linkClicked(url);
            return false;
        }
        if (!QELWebView::isLocalUrl(url)) {
            qCDebug(lcOrvane) << "Web view: refused to open a page of scheme" << url.scheme();
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    QELWebView* m_view;
};

} // namespace

QELWebView::QELWebView(QWidget* parent)
    : QWebEngineView(parent)
{
    auto* page = new ReadOnlyPage(this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    page->scripts().insert(noSelectionScript());
    setPage(page);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    watchFocusProxy();
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
        QWebEngineView::setHtml(page, baseUrl);
        return;
    }
    // The engine takes an inline page as one data URL, which it refuses past
    // 2 MB (showing nothing), so a large page goes through a file. Its base
    // address, which a file cannot carry, goes into the page.
    if (!baseUrl.isEmpty()) {
        const QByteArray base = "<base href=\""
            + baseUrl.toEncoded().replace('"', "%22").replace('<', "%3C") + "\"/>";
        const qsizetype at = m_textSelectable ? -1 : utf8.indexOf(kNoSelectionStyle.toUtf8());
        utf8.insert(at < 0 ? 0 : at, base);
    }
    m_pageWriters.start([this, generation, utf8 = std::move(utf8)] {
        const QString folder = Locations::makeScratchFolder(QStringLiteral("web-page"));
        QString error;
        const QString path = folder + QStringLiteral("/page.html");
        if (folder.isEmpty() || !writeFileAtomically(path, utf8, &error)) {
            qCWarning(lcOrvane).noquote() << "Web view: a large page could not be written:" << error;
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
    // Pages loaded from their files get the no-selection style from the
    // script; a view whose text may be selected and copied runs none.
    QWebEngineScriptCollection& scripts = page()->scripts();
    const QList<QWebEngineScript> present = scripts.find(noSelectionScript().name());
    if (selectable) {
        for (const QWebEngineScript& script : present)
            scripts.remove(script);
    } else if (present.isEmpty()) {
        scripts.insert(noSelectionScript());
    }
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

bool QELWebView::event(QEvent* event)
{
    // The engine puts its rendering widget in as a child once it exists.
    if (event->type() == QEvent::ChildPolished || event->type() == QEvent::ChildAdded)
        watchFocusProxy();
    return QWebEngineView::event(event);
}

void QELWebView::watchFocusProxy()
{
    QWidget* proxy = focusProxy();
    if (!proxy || proxy == m_watchedProxy)
        return;
    if (m_watchedProxy)
        m_watchedProxy->removeEventFilter(this);
    m_watchedProxy = proxy;
    proxy->setAcceptDrops(false);
    proxy->installEventFilter(this);
    connect(proxy, &QObject::destroyed, this, [this, proxy] {
        if (m_watchedProxy == proxy)
            m_watchedProxy = nullptr;
    });
}

bool QELWebView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedProxy) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (m_textSelectable
                && (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)))
                break;
            if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)) {
                if (event->type() == QEvent::KeyPress)
                    doCommandBySelector(key->matches(QKeySequence::Copy) ? QStringLiteral("copy:")
                                                                         : QStringLiteral("cut:"));
                event->accept();
                return true;
            }
            if (key->matches(QKeySequence::SelectAll)) {
                event->accept();
                return true;
            }
            break;
        }
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}
