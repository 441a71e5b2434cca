#pragma once

#include <filesystem>

#include "platform/desktop/HelpViewer.h"
#include "platform/desktop/Registry.h"

#include <QString>

#include <cstdint>

namespace kovi {

// The program's wrapper around the HTML Help viewer: a caller fills in properties (the
// help file, a topic, a keyword, a window type) and calls one display method, which checks
// the help file and issues one viewer command. Failures are told in boxes titled
// "HTML Help Class"; the class then carries on.
class HTMLHelp {
public:
    // `programFolder` is where bare help-file names are looked for.
    explicit HTMLHelp(std::filesystem::path programFolder);

    // Removes the viewer's "Jump to URL" item from the help window's system menu.
    void HHDeleteJumpURLSysMenu(WindowHandle helpWindow);
    void HHDisplayTopicURL(WindowHandle callingForm = 0);
    void HHDisplayTopicID(WindowHandle callingForm = 0);
    void HHDisplaySearch(WindowHandle callingForm = 0);
    void HHDisplayKeyword(WindowHandle callingForm = 0);
    void HHDisplayIndex(WindowHandle callingForm = 0);
    void HHDisplayContents(WindowHandle callingForm = 0);
    void HHDisplayALink(WindowHandle callingForm = 0);
    // Lists the file in the help-file location list; a full path on success becomes the
    // bare file name.
    void HHRegister(QString& fileToRegister);
    void HHUnRegister(QString& fileToUnRegister);
    // Fills HHRegFileName, HHRegFilePath and HHRegFileExists.
    void HHCheckRegistry(const QString& fileToCheck);
    // Closes every help window the program opened.
    void HHClose();
    // A text pop-up at the pointer, owned by the calling form.
    void HHDisplayPopup(WindowHandle callingForm);
    // Puts the form into "What's This?" mode: the next click asks for help on a control.
    void HHInvokeWhatsThisHelp(WindowHandle callingForm);
    // True when the viewer and the browser component are at least the releases that the
    // two codes stand for.
    bool HHVerifyMinConfig(std::int32_t minHHVersion, std::int32_t minIEVersion);
    // True when the file exists; a bare name is completed to a full path first.
    bool EnsureFileExists(QString& fileToFind);
    // 1: the program folder's "Library.chm"; 2: "Library.txt"; otherwise empty.
    QString HHSetHelpFile(std::int16_t intSelHelpFile) const;

    void setHHWindow(const QString& value) { window_ = value; }
    QString HHWindow() const { return window_; }
    void setHHTopicURL(const QString& value) { topicUrl_ = value; }
    QString HHTopicURL() const { return topicUrl_; }
    void setHHTopicID(std::int32_t value) { topicId_ = value; }
    std::int32_t HHTopicID() const { return topicId_; }
    void setHHMsgTitle(const QString& value) { msgTitle_ = value; }
    QString HHMsgTitle() const { return msgTitle_; }
    void setHHMsgText(const QString& value) { msgText_ = value; }
    QString HHMsgText() const { return msgText_; }
    void setHHKeyword(const QString& value) { keyword_ = value; }
    QString HHKeyword() const { return keyword_; }
    void setHHDefaultURL(const QString& value) { defaultUrl_ = value; }
    QString HHDefaultURL() const { return defaultUrl_; }
    void setHHALink(const QString& value) { aLink_ = value; }
    QString HHALink() const { return aLink_; }
    void setCHMFile(const QString& value) { chmFile_ = value; }
    QString CHMFile() const { return chmFile_; }
    void setHHShowOnTop(bool value) { showOnTop_ = value; }
    bool HHShowOnTop() const { return showOnTop_; }

    QString HHRegFileName() const { return regFileName_; }
    QString HHRegFilePath() const { return regFilePath_; }
    bool HHRegFileExists() const { return regFileExists_; }

    // Pop-up properties; the appearance ones fall back to their defaults after each pop-up.
    void setHHPopupFile(const QString& value) { popup_.file = value; }
    void setHHPopupID(std::int32_t value) { popup_.id = value; }
    void setHHPopupText(const QString& value) { popup_.text = value; }
    // 0 none, 1 text file inside CHMFile, 2 string resource, 4 literal text.
    void setHHPopupType(std::int32_t value) { popup_.type = value; }
    void setHHPopupTextColor(HelpColour value) { popup_.textColour = value; }
    void setHHPopupBackColor(HelpColour value) { popup_.backColour = value; }
    void setHHPopupCustomTextColor(HelpColour value) { popup_.customTextColour = value; }
    void setHHPopupCustomBackColor(HelpColour value) { popup_.customBackColour = value; }
    void setHHPopupCustomColors(bool value) { popup_.customColours = value; }
    bool HHPopupCustomColors() const { return popup_.customColours; }
    void setHHPopupTextFont(const QString& value) { popup_.font = value; }
    void setHHPopupTextSize(const QString& value) { popup_.size = value; }
    void setHHPopupTextBold(bool value) { popup_.bold = value; }
    void setHHPopupTextItalic(bool value) { popup_.italic = value; }
    void setHHPopupTextUnderline(bool value) { popup_.underline = value; }

    // Each read looks again at what is installed; a missing component is told in a box.
    bool HHInstalled();
    QString HHVersion();
    QString IEVersion();
    QString HHFriendlyName();
    QString IEFriendlyName();
    // The handle of the last help window shown; 0, with a warning, when there is none.
    WindowHandle HHWndHandle() const;

private:
    struct PopupSettings {
        QString file;
        std::int32_t id = 0;
        QString text;
        std::int32_t type = 0;
        HelpColour textColour = 0;
        HelpColour backColour = 0;
        HelpColour customTextColour = 0;
        HelpColour customBackColour = 0;
        bool customColours = false;
        QString font;
        QString size;
        bool bold = false;
        bool italic = false;
        bool underline = false;
    };
    // The name and the "name=data\r" line of a registry value; both empty when not found.
    struct RegistryLine {
        QString name;
        QString line;
    };

    enum class DisplayStep { Continue, Stop };
    // The common first steps of the display methods: file name, file, owner window.
    DisplayStep prepareDisplay(const char* method, WindowHandle callingForm, WindowHandle& owner);
    QString fileArgument() const;
    HelpLinkRecord linkRecord(const QString& keywords);
    void callViewer(WindowHandle owner, const std::optional<QString>& file, int command,
                    const HelpData& data);

    bool IsChmFileName(const QString& fileName) const;
    bool IsPopupTextFileName(const QString& fileName) const;
    QString PopupFontString();
    void ResetPopupAppearance();

    static QString RegistryLineData(const RegistryLine& found);
    RegistryLine RegReadStringValue(const QString& hiveName, const QString& keyPath,
                                    const QString& valueName) const;
    bool RegKeyExists(const QString& keyPath) const;
    void LocateHHCtrl();
    void LocateShdocvw();
    void LookupHHFriendlyName();
    void LookupIEFriendlyName();
    QString GetFileVersionString(const QString& path) const;
    QString GetLongFileName(const QString& path) const;
    int GetOSCode() const;

    void ShowErrorMessage(const QString& text) const;
    void ShowWarningMessage(const QString& text) const;
    void ShowInfoMessage(const QString& text) const;

    std::filesystem::path programFolder_;
    QString chmFile_;
    QString window_;
    QString topicUrl_;
    std::int32_t topicId_ = 0;
    QString keyword_;
    QString aLink_;
    QString defaultUrl_;
    QString msgText_;
    QString msgTitle_;
    bool showOnTop_ = false;
    WindowHandle wndHandle_ = 0;

    QString regFileName_;
    QString regFilePath_;
    bool regFileExists_ = false;

    PopupSettings popup_;

    bool installed_ = false;
    QString hhVersion_;
    QString ieVersion_;
    QString hhFriendlyName_;
    QString ieFriendlyName_;
};

// "HKLM", "hkcu", ...: the hive the short name stands for.
std::optional<RegistryHive> ParseHiveName(const QString& name);

// Cuts the text at its first NUL character.
QString TrimNull(const QString& text);

} // namespace kovi
