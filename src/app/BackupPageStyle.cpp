// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupPageStyle.h"

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
    label->setFixedWidth(480);
    return label;
}

} // namespace BackupPageStyle
