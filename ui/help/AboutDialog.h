#pragma once

#include <QDialog>

class QLabel;

namespace kovi {

// "About Kovi rZk Lite v1.1.0...": the product, the version and the maker, whose name opens
// the maker's web page in a new browser window and closes the box.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openMakerPage();

    QLabel* makerLabel_ = nullptr;
};

// "About Kovi rZk Lite v" + major.minor.revision + "...".
QString AboutCaption();

// Where the maker's name leads.
QString MakerPageAddress();

} // namespace kovi
