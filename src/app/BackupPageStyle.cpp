// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupPageStyle.h"

#include <QFontMetrics>
#include <QLabel>

namespace BackupPageStyle {

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(22);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* detail(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #555b66;"));
    QFont font = label->font();
    font.setPixelSize(14);
    label->setFont(font);
    // A fixed width lets the wrapped text take the height it needs.
    constexpr int kWidth = 480;
    label->setFixedWidth(kWidth);
    label->setMinimumHeight(QFontMetrics(font)
                                .boundingRect(QRect(0, 0, kWidth, 1000), Qt::TextWordWrap | Qt::AlignHCenter, text)
                                .height());
    return label;
}

} // namespace BackupPageStyle
