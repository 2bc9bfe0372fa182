#include "QELWebViewHost.h"

#include <QLabel>
#include <QVBoxLayout>

#include "QELWebViewModule.h"

QELWebViewHost::QELWebViewHost(QELWebEngineFactory::Kind kind,
                               QELWebEngineFactory::RequestFilter allowed, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QELWebEngineFactory* factory = QELWebViewModule::factory())
        m_engine.reset(factory->createPage(kind, allowed, this, this));
    if (m_engine) {
        QWidget* view = m_engine->widget();
        layout->addWidget(view);
        setFocusProxy(view);
        return;
    }
    // Why has been logged where the module was looked for.
    m_unavailable = new QLabel(
        tr("This page cannot be shown: the web page engine (orvane_webengine) could not be "
           "loaded."),
        this);
    m_unavailable->setObjectName(QStringLiteral("webEngineUnavailable"));
    m_unavailable->setAlignment(Qt::AlignCenter);
    m_unavailable->setWordWrap(true);
    layout->addWidget(m_unavailable);
}

QELWebViewHost::~QELWebViewHost()
{
    // The engine's view is a child of this widget: it goes with the page,
    // before the widget's children.
    m_engine.reset();
}

QWidget* QELWebViewHost::engineView() const { return m_engine ? m_engine->widget() : nullptr; }

QObject* QELWebViewHost::enginePage() const { return m_engine ? m_engine->page() : nullptr; }

QUrl QELWebViewHost::url() const { return m_engine ? m_engine->url() : QUrl(); }

void QELWebViewHost::print(QPrinter* printer)
{
    if (m_engine)
        m_engine->print(printer);
}

void QELWebViewHost::print(QPrinter* printer, const QString& title, const QString& line)
{
    if (m_engine)
        m_engine->printWithHeading(printer, title, line);
}

void QELWebViewHost::printToPdf(const QString& path)
{
    if (m_engine)
        m_engine->printToPdf(path);
}
