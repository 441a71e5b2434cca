#include "platform/desktop/MessageSink.h"

#include <QApplication>
#include <QMessageBox>

namespace kovi {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

class QtMessageSink final : public MessageSink {
public:
    void showMessage(QWidget* parent, MessageIcon icon, const QString& title,
                     const QString& text) override {
        QMessageBox box(ToQtIcon(icon), title, text, QMessageBox::Ok, parent);
        box.exec();
    }
};

MessageSink* installedSink = nullptr;

} // namespace

MessageSink& CurrentMessageSink() {
    static QtMessageSink realSink;
    return installedSink != nullptr ? *installedSink : realSink;
}

void InstallMessageSink(MessageSink* sink) {
    installedSink = sink;
}

void ShowError(const QString& text, QWidget* parent) {
    CurrentMessageSink().showMessage(parent, MessageIcon::Critical, QStringLiteral("Error"), text);
}

void ShowInformation(const QString& title, const QString& text, QWidget* parent) {
    CurrentMessageSink().showMessage(parent, MessageIcon::Information, title, text);
}

} // namespace kovi
