#pragma once

#include "app/ProgramFolder.h"

#include "tests/support/Mount.h"
#include "tests/support/WindowFakes.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace kovi::testing {

inline QStringList Texts(const RecordingMessages& messages) {
    QStringList texts;
    for (const ShownBox& box : messages.boxes)
        texts.append(box.text);
    return texts;
}

// The program's folder, where the list files lie, in a fresh temporary folder.
class ProgramFolderSandbox {
public:
    ProgramFolderSandbox() { SetProgramFolder(path()); }
    ~ProgramFolderSandbox() { SetProgramFolder({}); }
    ProgramFolderSandbox(const ProgramFolderSandbox&) = delete;
    ProgramFolderSandbox& operator=(const ProgramFolderSandbox&) = delete;

    bool isValid() const { return folder_.isValid(); }
    std::filesystem::path path() const { return folder_.path().toStdString(); }

private:
    QTemporaryDir folder_;
};

inline QStringList Entries(const QListWidget& box) {
    QStringList entries;
    for (int row = 0; row < box.count(); ++row)
        entries.append(box.item(row)->text());
    return entries;
}

template <typename Widget>
Widget* Control(const QWidget& window, const char* name) {
    auto* found = window.findChild<Widget*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return found;
}

inline void Click(const QWidget& window, const char* button) {
    QTest::mouseClick(Control<QPushButton>(window, button), Qt::LeftButton);
}

inline void SelectRow(const QWidget& window, const char* list, int row) {
    auto* box = Control<QListWidget>(window, list);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                      box->visualItemRect(box->item(row)).center());
}

inline void ShowActive(QWidget& window) {
    // Tool windows are raised when shown, which the offscreen platform cannot do.
    if (window.windowType() == Qt::Tool && QGuiApplication::platformName() == "offscreen")
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Where Tab leads from the focused control, `steps` times.
inline QStringList TabOrder(int steps) {
    QStringList order;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    return order;
}

// Fails the test when it leaves a window behind.
inline void VerifyNoWindowLeft() {
    QStringList leaked;
    for (const QWidget* window : QApplication::topLevelWidgets())
        leaked.append(QString::fromLatin1(window->metaObject()->className()) + QLatin1Char(' ') +
                      window->objectName());
    QVERIFY2(leaked.isEmpty(), qPrintable(QStringLiteral("left behind: ") + leaked.join(", ")));
}

} // namespace kovi::testing
