#pragma once

#include "core/imaging/ImagingControl.h"

#include <QFrame>
#include <QImage>

#include <atomic>

namespace kovi {

// The visible side of the main window's imaging control: shows a picture of the image being
// worked on, scaled to fit and centred, and reports clicks. It also keeps the two JPEG save
// factors that a batch run hands to its imaging control.
class ImageView : public QFrame {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    // A picture whose pixel data does not match its size shows nothing.
    void showPicture(const PreviewPicture& picture);
    void clear();
    bool hasPicture() const { return !picture_.isNull(); }

    // Factors 0..255; values outside are clamped. A batch run reads them from its own thread
    // before each JPEG it saves, so a change made during a run applies to the next file.
    void SetJpegChromFactor(int factor);
    void SetJpegLumFactor(int factor);
    int JpegChromFactor() const { return jpegChromFactor_; }
    int JpegLumFactor() const { return jpegLumFactor_; }

signals:
    // The user clicked the view (left button pressed and released over it).
    void ImageClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    std::atomic<int> jpegChromFactor_{0};
    std::atomic<int> jpegLumFactor_{0};
    bool pressed_ = false;
};

} // namespace kovi
