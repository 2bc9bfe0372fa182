#include "AppImages.h"

#include <QWidget>

// The resource file is compiled into this static library; a static library's
// resources must be registered by hand, outside any namespace.
static void registerWidgetResources()
{
    Q_INIT_RESOURCE(widgets);
    Q_INIT_RESOURCE(preferences);
}

namespace AppImages {

QIcon icon(const QString& name)
{
    static const bool registered = [] {
        registerWidgetResources();
        return true;
    }();
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/images/%1.svg").arg(name));
}

QPixmap pixmap(const QString& name, const QSize& size, const QWidget* widget)
{
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    QPixmap result = icon(name).pixmap(size, ratio);
    return result;
}

QString nameOfImageFile(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

} // namespace AppImages
