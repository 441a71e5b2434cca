#pragma once

#include "core/imaging/ImagingControl.h"

#include <QFrame>
#include <QImage>

namespace kovi {

// The visible side of the main window's imaging control: shows a picture of the image being
// worked on, scaled to fit and centred, and reports clicks.
class ImageView : public QFrame {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    // A picture whose pixel data does not match its size shows nothing.
    void showPicture(const PreviewPicture& picture);
    void clear();
    bool hasPicture() const { return !picture_.isNull(); }

signals:
    // The user clicked the view (left button pressed and released over it).
    void ImageClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool pressed_ = false;
};

} // namespace kovi
