#include "ui/main/ImageView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kovi {
namespace {

constexpr int LowestFactor = 0;
constexpr int HighestFactor = 255;
constexpr int RgbBytes = 3;

} // namespace

ImageView::ImageView(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void ImageView::showPicture(const PreviewPicture& picture) {
    const qsizetype expected =
        qsizetype(picture.width) * qsizetype(picture.height) * qsizetype(RgbBytes);
    if (picture.width <= 0 || picture.height <= 0 || qsizetype(picture.rgb.size()) != expected) {
        clear();
        return;
    }
    // Copied: the picture's buffer belongs to the caller.
    picture_ = QImage(picture.rgb.data(), picture.width, picture.height, picture.width * RgbBytes,
                      QImage::Format_RGB888)
                   .copy();
    update();
}

void ImageView::clear() {
    picture_ = QImage();
    update();
}

void ImageView::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull())
        return;
    const QRect area = contentsRect();
    const QSize fitted = picture_.size().scaled(area.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), fitted);
    target.moveCenter(area.center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QFrame::mouseReleaseEvent(event);
    if (click)
        emit ImageClick();
}

} // namespace kovi
