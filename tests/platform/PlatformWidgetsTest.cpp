#include "platform/BusyCursor.h"
#include "platform/ImageView.h"
#include "platform/PictureBox.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace kovi {

class PlatformWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void imageViewReportsALeftClickOnly() {
        ImageView view;
        view.resize(100, 100);
        QSignalSpy clicks(&view, &ImageView::ImageClick);
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(clicks.size(), 1);
        // Neither another button nor a press dragged off the view.
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(50, 50));
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150, 50));
        QCOMPARE(clicks.size(), 1);
    }

    void imageViewShowsThePictureFittedAndCentred() {
        ImageView view;
        view.setFrameStyle(QFrame::NoFrame);
        view.resize(100, 100);
        view.showPicture(solidPicture(40, 20, Qt::red));
        QVERIFY(view.hasPicture());

        const QImage shown = view.grab().toImage();
        // 40 x 20 fitted into 100 x 100 is 100 x 50, centred: rows 25 to 74.
        QCOMPARE(QColor(shown.pixel(50, 50)), QColor(Qt::red));
        QCOMPARE(QColor(shown.pixel(0, 26)), QColor(Qt::red));
        QCOMPARE(QColor(shown.pixel(99, 73)), QColor(Qt::red));
        QVERIFY(QColor(shown.pixel(50, 10)) != QColor(Qt::red));
        QVERIFY(QColor(shown.pixel(50, 90)) != QColor(Qt::red));

        view.clear();
        QVERIFY(!view.hasPicture());
        QVERIFY(QColor(view.grab().toImage().pixel(50, 50)) != QColor(Qt::red));
    }

    void imageViewRefusesPixelDataOfTheWrongSize_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bytes");
        QTest::newRow("one byte short") << 4 << 4 << 47;
        QTest::newRow("one byte too many") << 4 << 4 << 49;
        QTest::newRow("no pixel data") << 4 << 4 << 0;
        QTest::newRow("zero width") << 0 << 4 << 0;
        QTest::newRow("negative height") << 4 << -4 << 48;
        QTest::newRow("size overflowing int") << 65536 << 65536 << 3;
    }
    void imageViewRefusesPixelDataOfTheWrongSize() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bytes);
        ImageView view;
        view.showPicture(solidPicture(2, 2, Qt::blue));
        PreviewPicture broken{width, height, std::vector<std::uint8_t>(std::size_t(bytes), 0xff)};
        view.showPicture(broken);
        QVERIFY(!view.hasPicture());
    }

    void jpegFactorsStayInRange() {
        ImageView view;
        view.SetJpegChromFactor(-5);
        view.SetJpegLumFactor(300);
        QCOMPARE(view.JpegChromFactor(), 0);
        QCOMPARE(view.JpegLumFactor(), 255);
    }

    void pictureBoxReportsAClick() {
        PictureBox picture;
        picture.resize(180, 54);
        QSignalSpy clicks(&picture, &PictureBox::clicked);
        QTest::mouseClick(&picture, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(&picture, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.size(), 1);
    }

    void busyCursorNestsAndComesBack() {
        SetBusyCursor(false); // an "off" without an "on" does nothing
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        {
            BusyCursorGuard outer;
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            {
                BusyCursorGuard inner;
                QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        }
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

private:
    static PreviewPicture solidPicture(int width, int height, QColor colour) {
        PreviewPicture picture{width, height, {}};
        for (int i = 0; i < width * height; ++i) {
            picture.rgb.push_back(static_cast<std::uint8_t>(colour.red()));
            picture.rgb.push_back(static_cast<std::uint8_t>(colour.green()));
            picture.rgb.push_back(static_cast<std::uint8_t>(colour.blue()));
        }
        return picture;
    }
};

} // namespace kovi

QTEST_MAIN(kovi::PlatformWidgetsTest)
#include "PlatformWidgetsTest.moc"
