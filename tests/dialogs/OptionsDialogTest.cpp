// The options dialog: labels follow the sliders, the factors reach the main window's imaging
// control at once, the switches are stored at once.
#include "app/MainWindow.h"
#include "app/frmOptions.h"
#include "platform/FolderTree.h"
#include "platform/ImageView.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTest>

namespace kovi {

using testing::Control;
using testing::SettingsSandbox;

class OptionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<SettingsSandbox>();
        program_ = std::make_unique<testing::ProgramFolderSandbox>();
        QVERIFY(settings_->isValid() && program_->isValid());
        values_ = ProgramSettings();
    }

    void cleanup() {
        dialog_.reset();
        main_.reset();
        program_.reset();
        settings_.reset();
        testing::VerifyNoWindowLeft();
    }

    void firstOpeningShowsTheDefaults() {
        open();
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("Kovi rZk Lite - Options"));
        QCOMPARE(slider("sldChrom").value(), 1);
        QCOMPARE(slider("sldLum").value(), 1);
        QCOMPARE(label("labChrom"), QStringLiteral("JPEG Chrominance (0 - 255): 1"));
        QCOMPARE(label("labLum"), QStringLiteral("JPEG Luminance (0 - 255): 1"));
        QVERIFY(Control<QCheckBox>(*dialog_, "chkToolTips")->isChecked());
        QVERIFY(Control<QCheckBox>(*dialog_, "chkLog")->isChecked());
        // Opening shows the values and stores nothing.
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());
    }

    void opensWithTheValuesInForce() {
        SettingsSandbox::store(QStringLiteral("jpegchrom"), QStringLiteral("200"));
        SettingsSandbox::store(QStringLiteral("jpeglum"), QStringLiteral("0"));
        SettingsSandbox::store(QStringLiteral("showtips"), QStringLiteral("0"));
        open();
        QCOMPARE(label("labChrom"), QStringLiteral("JPEG Chrominance (0 - 255): 200"));
        QCOMPARE(label("labLum"), QStringLiteral("JPEG Luminance (0 - 255): 0"));
        QVERIFY(!Control<QCheckBox>(*dialog_, "chkToolTips")->isChecked());
        QVERIFY(Control<QCheckBox>(*dialog_, "chkLog")->isChecked());
    }

    void controlsSitInTheirFrames() {
        open();
        // 3744 x 3384 twips at 96 dpi.
        QCOMPARE(dialog_->size(), QSize(250, 226));
        QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
        auto* quality = Control<QGroupBox>(*dialog_, "Frame1");
        auto* other = Control<QGroupBox>(*dialog_, "Frame2");
        QCOMPARE(quality->title(), QStringLiteral("JPEG Save Quality Settings"));
        QCOMPARE(other->title(), QStringLiteral("Other Settings"));
        QCOMPARE(quality->geometry(), QRect(0, 8, 249, 137));
        QCOMPARE(other->geometry(), QRect(0, 152, 249, 73));
        QCOMPARE(slider("sldLum").parentWidget(), quality);
        QCOMPARE(slider("sldLum").geometry(), QRect(8, 104, 233, 17));
        QCOMPARE(Control<QCheckBox>(*dialog_, "chkLog")->parentWidget(), other);
        QCOMPARE(Control<QCheckBox>(*dialog_, "chkLog")->text(),
                 QStringLiteral("Write kovilog.txt file"));
        QCOMPARE(Control<QCheckBox>(*dialog_, "chkToolTips")->text(),
                 QStringLiteral("Show full folder path tooltips"));
    }

    void slidersRunFrom0To255InStepsOf1And5() {
        open();
        for (const char* name : {"sldChrom", "sldLum"}) {
            QSlider& bar = slider(name);
            QCOMPARE(bar.minimum(), 0);
            QCOMPARE(bar.maximum(), 255);
            QCOMPARE(bar.tickInterval(), 1);
            QVERIFY(bar.tickPosition() != QSlider::NoTicks);
            bar.setFocus();
            QTest::keyClick(&bar, Qt::Key_Right);
            QCOMPARE(bar.value(), 2);
            QTest::keyClick(&bar, Qt::Key_PageUp);
            QCOMPARE(bar.value(), 7);
            QTest::keyClick(&bar, Qt::Key_Left);
            QCOMPARE(bar.value(), 6);
            QTest::keyClick(&bar, Qt::Key_PageDown);
            QCOMPARE(bar.value(), 1);
        }
    }

    void movingASliderRewritesItsLabelAndHandsTheFactorOn() {
        open();
        slider("sldChrom").setFocus();
        QTest::keyClick(&slider("sldChrom"), Qt::Key_End);
        QCOMPARE(label("labChrom"), QStringLiteral("JPEG Chrominance (0 - 255): 255"));
        QCOMPARE(values_.JpegChrom, 255);
        QCOMPARE(main_->imageView().JpegChromFactor(), 255);
        QCOMPARE(main_->imageView().JpegLumFactor(), 1);

        slider("sldLum").setFocus();
        QTest::keyClick(&slider("sldLum"), Qt::Key_Home);
        QCOMPARE(label("labLum"), QStringLiteral("JPEG Luminance (0 - 255): 0"));
        QCOMPARE(values_.JpegLum, 0);
        QCOMPARE(main_->imageView().JpegLumFactor(), 0);

        // Dragging by the mouse goes the same way.
        QSlider& chrom = slider("sldChrom");
        QTest::mousePress(&chrom, Qt::LeftButton, {},
                          QPoint(chrom.width() - 2, chrom.height() / 2));
        QTest::mouseRelease(&chrom, Qt::LeftButton, {},
                            QPoint(chrom.width() - 2, chrom.height() / 2));
        QCOMPARE(label("labChrom"),
                 QStringLiteral("JPEG Chrominance (0 - 255): %1").arg(chrom.value()));
        QCOMPARE(main_->imageView().JpegChromFactor(), chrom.value());
    }

    void factorsAreStoredOnlyByQuit() {
        open();
        slider("sldChrom").setFocus();
        QTest::keyClick(&slider("sldChrom"), Qt::Key_PageUp);
        QTest::keyClick(&slider("sldLum"), Qt::Key_Right);
        dialog_->close();
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());

        Control<QPushButton>(*main_, "cmdQuit")->click();
        QCOMPARE(stored("jpegchrom"), QStringLiteral("6"));
        QCOMPARE(stored("jpeglum"), QStringLiteral("2"));
    }

    void logSwitchIsStoredAtOnce() {
        open();
        auto* log = Control<QCheckBox>(*dialog_, "chkLog");
        QTest::mouseClick(log, Qt::LeftButton, {}, QPoint(8, log->height() / 2));
        QVERIFY(!log->isChecked());
        QCOMPARE(values_.WriteLog, 0);
        QCOMPARE(SettingsSandbox::storedKeys(), QStringList{"Settings/writelog"});
        QCOMPARE(stored("writelog"), QStringLiteral("0"));
        log->setFocus();
        QTest::keyClick(log, Qt::Key_Space);
        QCOMPARE(stored("writelog"), QStringLiteral("1"));
        QCOMPARE(values_.WriteLog, 1);
    }

    void clearingTooltipsEmptiesTheTreeTooltipAtOnce() {
        open();
        main_->folderTree().setToolTip(QStringLiteral("/srv/photos"));
        auto* tips = Control<QCheckBox>(*dialog_, "chkToolTips");
        QTest::mouseClick(tips, Qt::LeftButton, {}, QPoint(8, tips->height() / 2));
        QCOMPARE(values_.ShowTips, 0);
        QCOMPARE(stored("showtips"), QStringLiteral("0"));
        QCOMPARE(main_->folderTree().toolTip(), QString());
    }

    void tickingTooltipsAgainLeavesTheTooltipEmpty() {
        SettingsSandbox::store(QStringLiteral("showtips"), QStringLiteral("0"));
        open();
        auto* tips = Control<QCheckBox>(*dialog_, "chkToolTips");
        QTest::mouseClick(tips, Qt::LeftButton, {}, QPoint(8, tips->height() / 2));
        QCOMPARE(values_.ShowTips, 1);
        QCOMPARE(stored("showtips"), QStringLiteral("1"));
        QCOMPARE(main_->folderTree().toolTip(), QString());
    }

    void escapeDoesNotCloseTheWindow() {
        open();
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QVERIFY(dialog_->isVisible());
    }

private:
    void open() {
        main_ = std::make_unique<MainWindow>(values_);
        main_->show();
        dialog_ = std::make_unique<frmOptions>(values_, main_->settingsStore(), main_->imageView(),
                                               main_->folderTree(), main_.get());
        testing::ShowActive(*dialog_);
    }

    QSlider& slider(const char* name) { return *Control<QSlider>(*dialog_, name); }
    QString label(const char* name) { return Control<QLabel>(*dialog_, name)->text(); }
    static QString stored(const char* key) {
        return SettingsSandbox::storedValue(QLatin1String(key)).toString();
    }

    std::unique_ptr<SettingsSandbox> settings_;
    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<frmOptions> dialog_;
    ProgramSettings values_;
};

} // namespace kovi

QTEST_MAIN(kovi::OptionsDialogTest)
#include "OptionsDialogTest.moc"
