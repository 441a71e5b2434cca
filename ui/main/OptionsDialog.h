#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QSlider;

namespace kovi {

class SharedJpegFactors;
class SettingsStore;
struct ProgramSettings;

// "Kovi rZk Lite - Options": the two JPEG save factors and two switches. Every change takes
// effect at once: the factors go to the main window's imaging control (and into the store
// when the program quits), the switches into the store straight away.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // `imgProcess` receives the factors; `lstFolders` loses its tooltip when path tooltips are
    // switched off.
    OptionsDialog(ProgramSettings& settings, SettingsStore& store, SharedJpegFactors& jpegFactors,
                  QWidget& lstFolders, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setupControls();
    void loadValues();
    void chromMoved(int value);
    void lumMoved(int value);
    void toolTipsClicked();
    void logClicked();

    ProgramSettings& settings_;
    SettingsStore& store_;
    SharedJpegFactors& jpegFactors_;
    QWidget& lstFolders_;
    QLabel* labChrom_ = nullptr;
    QSlider* sldChrom_ = nullptr;
    QLabel* labLum_ = nullptr;
    QSlider* sldLum_ = nullptr;
    QCheckBox* chkToolTips_ = nullptr;
    QCheckBox* chkLog_ = nullptr;
};

} // namespace kovi
