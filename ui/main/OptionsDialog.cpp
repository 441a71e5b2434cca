#include "ui/main/OptionsDialog.h"

#include "core/imaging/base/JpegFactors.h"
#include "core/program/ProgramSettings.h"
#include "core/program/SettingsStore.h"
#include "kovi/Version.h"
#include "platform/desktop/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>

namespace kovi {
namespace {

constexpr int ClientWidthTwips = 3744;
constexpr int ClientHeightTwips = 3384;
constexpr int LowestFactor = 0;
constexpr int HighestFactor = 255;
constexpr int FactorSmallChange = 1;
constexpr int FactorLargeChange = 5;

const QString ChromCaption = QStringLiteral("JPEG Chrominance (0 - 255): ");
const QString LumCaption = QStringLiteral("JPEG Luminance (0 - 255): ");

QSlider* FactorSlider(QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(LowestFactor, HighestFactor);
    slider->setSingleStep(FactorSmallChange);
    slider->setPageStep(FactorLargeChange);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    return slider;
}

} // namespace

OptionsDialog::OptionsDialog(ProgramSettings& settings, SettingsStore& store,
                             SharedJpegFactors& jpegFactors, QWidget& lstFolders, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings), store_(store), jpegFactors_(jpegFactors), lstFolders_(lstFolders) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QString::fromLatin1(ProductName) + QStringLiteral(" - Options"));
    setModal(true);
    setupControls();
    loadValues();

    // Connected after loading: showing the values in force changes nothing.
    connect(sldChrom_, &QSlider::valueChanged, this, &OptionsDialog::chromMoved);
    connect(sldLum_, &QSlider::valueChanged, this, &OptionsDialog::lumMoved);
    connect(chkToolTips_, &QCheckBox::clicked, this, &OptionsDialog::toolTipsClicked);
    connect(chkLog_, &QCheckBox::clicked, this, &OptionsDialog::logClicked);
}

void OptionsDialog::setupControls() {
    const double dpi = LogicalDpi(parentWidget() != nullptr ? *parentWidget() : *this);
    setFixedSize(TwipsToPixels(ClientWidthTwips, dpi), TwipsToPixels(ClientHeightTwips, dpi));

    auto* frame1 = Place(new QGroupBox(QStringLiteral("JPEG Save Quality Settings"), this),
                         "Frame1", {0, 120, 3732, 2052}, dpi);
    labChrom_ = Place(new QLabel(QStringLiteral("JPEG Chrominance (0 - 255):"), frame1), "labChrom",
                      {120, 360, 3492, 252}, dpi);
    sldChrom_ = Place(FactorSlider(frame1), "sldChrom", {120, 720, 3492, 252}, dpi);
    labLum_ = Place(new QLabel(QStringLiteral("JPEG Luminance (0 - 255):"), frame1), "labLum",
                    {120, 1200, 3492, 252}, dpi);
    sldLum_ = Place(FactorSlider(frame1), "sldLum", {120, 1560, 3492, 252}, dpi);

    auto* frame2 = Place(new QGroupBox(QStringLiteral("Other Settings"), this), "Frame2",
                         {0, 2280, 3732, 1092}, dpi);
    chkToolTips_ = Place(new QCheckBox(QStringLiteral("Show full folder path tooltips"), frame2),
                         "chkToolTips", {120, 360, 3492, 252}, dpi);
    chkLog_ = Place(new QCheckBox(QStringLiteral("Write kovilog.txt file"), frame2), "chkLog",
                    {120, 720, 3492, 252}, dpi);

    setTabOrder(sldChrom_, sldLum_);
    setTabOrder(sldLum_, chkToolTips_);
    setTabOrder(chkToolTips_, chkLog_);
}

void OptionsDialog::loadValues() {
    sldChrom_->setValue(settings_.JpegChrom);
    sldLum_->setValue(settings_.JpegLum);
    chkToolTips_->setChecked(settings_.ShowTips != 0);
    chkLog_->setChecked(settings_.WriteLog != 0);
    labChrom_->setText(ChromCaption + QString::number(sldChrom_->value()));
    labLum_->setText(LumCaption + QString::number(sldLum_->value()));
}

void OptionsDialog::chromMoved(int value) {
    labChrom_->setText(ChromCaption + QString::number(value));
    settings_.JpegChrom = value;
    jpegFactors_.setChrominance(settings_.JpegChrom);
}

void OptionsDialog::lumMoved(int value) {
    labLum_->setText(LumCaption + QString::number(value));
    settings_.JpegLum = value;
    jpegFactors_.setLuminance(settings_.JpegLum);
}

void OptionsDialog::toolTipsClicked() {
    settings_.ShowTips = chkToolTips_->isChecked() ? 1 : 0;
    store_.SaveRegSetting(QLatin1String(ShowTipsKey));
    if (settings_.ShowTips == 0)
        lstFolders_.setToolTip(QString());
}

void OptionsDialog::logClicked() {
    settings_.WriteLog = chkLog_->isChecked() ? 1 : 0;
    store_.SaveRegSetting(QLatin1String(WriteLogKey));
}

void OptionsDialog::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Escape does nothing, as in the list editors.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kovi
