// A Qt generic plugin for bench_startup: at the process's first paint event
// it prints "first-paint <CLOCK_MONOTONIC nanoseconds>" on standard output
// and ends the process at once, so that the CPU time the parent reads is
// what the start cost until then. With ORVANE_PROBE_WIDGET naming a class,
// the paint counted is the first one of a widget of that class (the device
// content page, say).
#include <cstdio>
#include <ctime>

#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QObject>

namespace {

class FirstPaintFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        static const QByteArray widgetClass = qgetenv("ORVANE_PROBE_WIDGET");
        if (event->type() == QEvent::Paint
            && (widgetClass.isEmpty() || watched->inherits(widgetClass.constData()))) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first-paint %lld\n",
                        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            _exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class FirstPaintProbe : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "FirstPaintProbe.json")
public:
    QObject* create(const QString& key, const QString&) override
    {
        if (key.compare(QLatin1String("orvanefirstpaint"), Qt::CaseInsensitive) != 0)
            return nullptr;
        // Created by the application object as it starts, and kept by it.
        auto* filter = new FirstPaintFilter;
        QCoreApplication::instance()->installEventFilter(filter);
        return filter;
    }
};

#include "FirstPaintProbe.moc"
