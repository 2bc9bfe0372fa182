#pragma once

#include <QColor>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QVariant>

class QPainter;

// A table cell that draws an icon and, right of it, one line of text. Used as
// the item delegate of a column: the text is the model's display text, the
// icon the model's decoration when it gives one, else the cell's own `icon`.
class QELImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit QELImageAndTextCell(const QString& text = QString(), QObject* parent = nullptr);

    QPixmap icon() const { return m_icon; }
    void setIcon(const QPixmap& icon) { m_icon = icon; }
    // Stored for the owner; the cell draws its display text, not these.
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    QVariant value() const { return m_value; }
    void setValue(const QVariant& value) { m_value = value; }

    int imageToTextSpacing() const { return m_imageToTextSpacing; }
    void setImageToTextSpacing(int spacing) { m_imageToTextSpacing = spacing; }
    int blankImageWidth() const { return m_blankImageWidth; }
    void setBlankImageWidth(int width) { m_blankImageWidth = width; }
    int leftPadding() const { return m_leftPadding; }
    void setLeftPadding(int padding) { m_leftPadding = padding; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color) { m_textColor = color; }
    // An invalid colour (the default) draws no background.
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color) { m_backgroundColor = color; }

    // Draws the cell into `frame`. With `rowIcon` null the cell's own icon is
    // used, and shrunk once, in place, when it is taller than the frame.
    void drawWithFrameInView(QPainter& painter, const QRectF& frame, const QString& stringValue,
                             const QFont& font, bool highlighted,
                             const QColor& highlightedTextColor,
                             const QPixmap& rowIcon = QPixmap());

    // Where the last drawing put the icon and the text (for tests).
    QRectF lastIconRect() const { return m_lastIconRect; }
    QRectF lastTextRect() const { return m_lastTextRect; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap m_icon;
    QString m_text;
    QVariant m_value;
    int m_imageToTextSpacing = 0;
    int m_blankImageWidth = 0;
    int m_leftPadding = 2;
    QColor m_textColor = Qt::black;
    QColor m_backgroundColor;
    QRectF m_lastIconRect;
    QRectF m_lastTextRect;
};
