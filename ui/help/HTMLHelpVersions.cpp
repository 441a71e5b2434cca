#include "ui/help/HTMLHelp.h"

#include "core/files/FileRoutines.h"
#include "platform/desktop/SystemInfo.h"
#include "ui/help/ComponentVersions.h"

namespace kovi {
namespace {

const QString ViewerTypeLibraryKey =
    QStringLiteral("SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}");
const QString ViewerServerKey =
    QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString BrowserServerKey =
    QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");
const QString Unknown = QStringLiteral("unknown");

bool IsSeparator(QChar character) {
    return character == u'/' || character == u'\\';
}

} // namespace

bool HTMLHelp::RegKeyExists(const QString& keyPath) const {
    // Full access, as the original asks: without write access to the hive the answer is no.
    auto key =
        CurrentRegistry().openKey(RegistryHive::LocalMachine, keyPath, RegistryAccess::AllAccess);
    return key && key->close();
}

int HTMLHelp::GetOSCode() const {
    return OSCodeFor(CurrentSystemInfo().osVersion());
}

QString HTMLHelp::GetLongFileName(const QString& path) const {
    if (!path.contains(u'~'))
        return path;
    if (GetOSCode() >= 4)
        return CurrentSystemInfo().longPathName(path);

    QString rest = path;
    if (rest.startsWith(u'"'))
        rest.remove(0, 1);
    if (rest.endsWith(u'"'))
        rest.chop(1);
    // Each component is replaced by the name the file system lists it under; a component
    // that cannot be found stays as it is.
    QString result;
    QString soFar;
    qsizetype position = 0;
    if (rest.size() >= 2 && rest[1] == u':') {
        result = soFar = rest.left(2);
        position = 2;
    }
    while (position < rest.size()) {
        if (IsSeparator(rest[position])) {
            result += rest[position];
            soFar += rest[position];
            ++position;
            continue;
        }
        qsizetype end = position;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const QString component = rest.mid(position, end - position);
        soFar += component;
        result += CurrentSystemInfo().foundName(soFar).value_or(component);
        position = end;
    }
    return result;
}

QString HTMLHelp::GetFileVersionString(const QString& path) const {
    const auto version = CurrentSystemInfo().fileVersion(path);
    return version ? FileVersionText(*version) : QString();
}

void HTMLHelp::LocateHHCtrl() {
    const RegistryLine found = RegReadStringValue(QStringLiteral("HKCR"), ViewerServerKey, {});
    if (found.line.isEmpty()) {
        ShowErrorMessage(QStringLiteral("Hhctrl.ocx is not registered.  ") +
                         QStringLiteral("Please install HTML Help."));
        return;
    }
    const QString path = GetLongFileName(RegistryLineData(found));
    if (FileExists(std::filesystem::path(path.toStdString())))
        hhVersion_ = GetFileVersionString(path);
    else
        ShowErrorMessage(QStringLiteral("Hhctrl.ocx is not in its registered location.  ") +
                         QStringLiteral("Please reinstall HTML Help."));
}

void HTMLHelp::LocateShdocvw() {
    const RegistryLine found = RegReadStringValue(QStringLiteral("HKCR"), BrowserServerKey, {});
    if (found.line.isEmpty()) {
        ShowErrorMessage(QStringLiteral("Shdocvw.dll is not registered.  ") +
                         QStringLiteral("Please install Internet Explorer."));
        return;
    }
    const QString path = GetLongFileName(RegistryLineData(found));
    if (FileExists(std::filesystem::path(path.toStdString())))
        ieVersion_ = GetFileVersionString(path);
    else
        ShowErrorMessage(QStringLiteral("Internet Explorer is not in its registered location.  ") +
                         QStringLiteral("Please reinstall Internet Explorer."));
}

void HTMLHelp::LookupHHFriendlyName() {
    if (hhVersion_.isEmpty())
        LocateHHCtrl();
    hhFriendlyName_ = HHFriendlyNameFor(hhVersion_);
}

void HTMLHelp::LookupIEFriendlyName() {
    if (ieVersion_.isEmpty())
        LocateShdocvw();
    ieFriendlyName_ = IEFriendlyNameFor(ieVersion_);
}

bool HTMLHelp::HHInstalled() {
    installed_ = RegKeyExists(ViewerTypeLibraryKey);
    return installed_;
}

QString HTMLHelp::HHVersion() {
    LocateHHCtrl();
    return hhVersion_;
}

QString HTMLHelp::IEVersion() {
    LocateShdocvw();
    return ieVersion_;
}

QString HTMLHelp::HHFriendlyName() {
    LookupHHFriendlyName();
    return hhFriendlyName_;
}

QString HTMLHelp::IEFriendlyName() {
    LookupIEFriendlyName();
    return ieFriendlyName_;
}

bool HTMLHelp::HHVerifyMinConfig(std::int32_t minHHVersion, std::int32_t minIEVersion) {
    LocateHHCtrl();
    LocateShdocvw();
    bool viewerPasses = false;
    if (const auto minimum = MinimumHHVersionText(minHHVersion))
        viewerPasses = VersionAtLeast(hhVersion_, *minimum);
    else
        hhVersion_ = Unknown;
    bool browserPasses = false;
    if (const auto minimum = MinimumIEVersionText(minIEVersion))
        browserPasses = VersionAtLeast(ieVersion_, *minimum);
    else
        ieVersion_ = Unknown;
    LookupHHFriendlyName();
    LookupIEFriendlyName();
    return viewerPasses && browserPasses;
}

} // namespace kovi
