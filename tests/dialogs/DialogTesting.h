#pragma once

#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"

#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace kovi::testing {

// A settings store, a program folder (where the list files lie) and message boxes of its own.
struct WindowScene {
    SettingsSandbox settings;
    TempFolder program;
    const ProgramFiles files = ProgramFiles::In(program.path());
    RecordingMessages messages;
    ProgramSettings values;
};

template <typename Widget>
Widget* Control(const QWidget& window, const char* name) {
    return window.findChild<Widget*>(QLatin1String(name));
}

} // namespace kovi::testing
