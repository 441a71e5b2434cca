// One batch run as the main window does it, for the benchmark to time against kovi-rzk-batch:
// the folder and the target are chosen, Process is clicked, and the program ends with the run.
// The summary box is written to standard error instead of being shown.
//
//   kovi-window-bench [--lum N] [--chrom N] FOLDER WIDTHxHEIGHT
#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"
#include "core/program/ProgramStart.h"
#include "platform/desktop/MessageSink.h"
#include "ui/main/BatchRunner.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

class PrintedMessages final : public kovi::MessageSink {
public:
    PrintedMessages() { kovi::InstallMessageSink(this); }
    ~PrintedMessages() override { kovi::InstallMessageSink(nullptr); }
    PrintedMessages(const PrintedMessages&) = delete;
    PrintedMessages& operator=(const PrintedMessages&) = delete;

    void showMessage(QWidget*, kovi::MessageIcon, const QString& title,
                     const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

int Usage() {
    std::fputs("usage: kovi-window-bench [--lum N] [--chrom N] FOLDER WIDTHxHEIGHT\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    kovi::StartProgram(argv, kovi::ImageWork::Saves);
    QApplication application(argc, argv);

    QStringList arguments = QCoreApplication::arguments().mid(1);
    int luminance = 1;
    int chrominance = 1;
    while (arguments.size() > 2) {
        bool ok = false;
        const int value = arguments.value(1).toInt(&ok);
        if (!ok)
            return Usage();
        if (arguments.first() == QLatin1String("--lum"))
            luminance = value;
        else if (arguments.first() == QLatin1String("--chrom"))
            chrominance = value;
        else
            return Usage();
        arguments.remove(0, 2);
    }
    if (arguments.size() != 2)
        return Usage();

    PrintedMessages messages;
    kovi::ProgramSettings settings;
    kovi::MainWindow window(settings, kovi::LocateProgramFiles());
    settings.WriteLog = 0;
    window.SetSelectedFolder(arguments.at(0));
    auto* resolutions = window.findChild<QComboBox*>(QStringLiteral("lstRes"));
    auto* process = window.findChild<QPushButton*>(QStringLiteral("cmdProcess"));
    if (resolutions == nullptr || process == nullptr)
        return 1;
    if (resolutions->findText(arguments.at(1)) < 0)
        window.appendResolution(arguments.at(1));
    window.chooseResolution(resolutions->findText(arguments.at(1)));
    window.jpegFactors().setLuminance(luminance);
    window.jpegFactors().setChrominance(chrominance);
    window.show();

    QObject::connect(&window.batchRunner(), &kovi::BatchRunner::runningChanged, &application,
                     [](bool running) {
                         if (!running)
                             QCoreApplication::exit(0);
                     });
    QTimer::singleShot(0, process, &QPushButton::click);
    return QApplication::exec();
}
