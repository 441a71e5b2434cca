#include "ui/main/Logo.h"

#include <QLinearGradient>
#include <QPainter>

namespace kovi {
namespace {

constexpr int LogoWidth = 180;
constexpr int LogoHeight = 54;

} // namespace

QPixmap DrawLogo() {
    QPixmap logo(LogoWidth, LogoHeight);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, LogoHeight);
    background.setColorAt(0.0, QColor(0x1d, 0x3f, 0x73));
    background.setColorAt(1.0, QColor(0x0b, 0x1a, 0x33));
    painter.fillRect(logo.rect(), background);

    // Two nested frames, large to small: what the program does to pictures.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x8c, 0xb4, 0xe8), 2));
    painter.drawRect(QRectF(8, 9, 44, 36));
    painter.setPen(QPen(QColor(0xff, 0xc8, 0x4a), 2));
    painter.drawRect(QRectF(8, 25, 24, 20));
    painter.drawLine(QPointF(52, 9), QPointF(34, 23));

    QFont title = painter.font();
    title.setBold(true);
    title.setPixelSize(22);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(62, 4, 114, 28), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Kovi rZk"));

    QFont subtitle = title;
    subtitle.setBold(false);
    subtitle.setItalic(true);
    subtitle.setPixelSize(15);
    painter.setFont(subtitle);
    painter.setPen(QColor(0xff, 0xc8, 0x4a));
    painter.drawText(QRect(62, 30, 114, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Lite"));
    return logo;
}

} // namespace kovi
