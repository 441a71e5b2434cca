#include "ui/editors/TextBox.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace kovi {
namespace {

class SelectAllOnFocusIn final : public QObject {
public:
    explicit SelectAllOnFocusIn(QLineEdit& box) : QObject(&box), box_(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &box_ && event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                SelectAllText(box_);
        }
        return false;
    }

private:
    QLineEdit& box_;
};

class FirstLineOnly final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override {
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (input[i] == QLatin1Char('\r') || input[i] == QLatin1Char('\n')) {
                input.truncate(i);
                position = std::min(position, static_cast<int>(i));
                break;
            }
        }
        return Acceptable;
    }
};

} // namespace

void SelectAllText(QLineEdit& box) {
    if (!box.text().isEmpty())
        box.setSelection(0, static_cast<int>(box.text().size()));
}

void SelectAllTextOnFocus(QLineEdit& box) {
    box.installEventFilter(new SelectAllOnFocusIn(box));
}

void KeepToOneLine(QLineEdit& box) {
    box.setValidator(new FirstLineOnly(&box));
}

} // namespace kovi
