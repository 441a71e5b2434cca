#pragma once

#include "platform/desktop/HelpViewer.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

namespace kovi {

class HelpBook;
class HelpPopup;
class HelpWindow;

// The help viewer of this build on Linux: compiled help files read through chmlib and
// shown in windows of our own, driven by the original viewer's commands and records.
class ChmHelpViewer final : public HelpViewer {
public:
    ChmHelpViewer();
    ~ChmHelpViewer() override;

    std::optional<WindowHandle> HtmlHelp(WindowHandle owner, const std::optional<QString>& file,
                                         int command, const HelpData& data) override;

private:
    WindowHandle display(WindowHandle owner, const QString& file, int command,
                         const HelpData& data);
    WindowHandle lookUp(QWidget* owner, const QString& chmPath, const QString& windowName,
                        const HelpLinkRecord& link);
    WindowHandle showPopup(WindowHandle owner, const std::optional<QString>& file,
                           const HelpPopupRecord& popup);
    // The window for the file and window type, opened when needed (from `book` when given),
    // shown and raised; nullptr when the file cannot be opened.
    HelpWindow* windowFor(const QString& chmPath, const QString& windowName, QWidget* owner,
                          std::shared_ptr<const HelpBook> book = nullptr);
    HelpWindow* findWindow(const QString& chmPath, const QString& windowName) const;
    std::shared_ptr<const HelpBook> bookFor(const QString& chmPath) const;
    enum class Closing { Deferred, AtOnce };
    void closeAll(Closing closing);

    std::unique_ptr<QObject> quitWatcher_;
    std::vector<QPointer<HelpWindow>> windows_;
    std::vector<QPointer<HelpPopup>> popups_;
};

} // namespace kovi
