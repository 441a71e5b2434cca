#include "ui/help/HTMLHelp.h"

#include "core/files/FileRoutines.h"
#include "platform/desktop/Environment.h"

#include <QDir>

#include <algorithm>

namespace kovi {
namespace {

const QString HelpLocationsKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");

bool IsSeparator(QChar character) {
    return character == u'/' || character == QDir::separator();
}

bool HasFolderPart(const QString& name) {
    return std::any_of(name.begin(), name.end(), IsSeparator);
}

QString BareName(const QString& name) {
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (IsSeparator(name[i]))
            return name.mid(i + 1);
    }
    return name;
}

// A folder listed with or without its closing separator leads to the same file.
QString JoinFolder(const QString& folder, const QString& name) {
    if (folder.isEmpty() || IsSeparator(folder.back()))
        return folder + name;
    return folder + QDir::separator() + name;
}

std::filesystem::path ToPath(const QString& name) {
    return std::filesystem::path(name.toStdString());
}

} // namespace

std::optional<RegistryHive> ParseHiveName(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == u"HKCU")
        return RegistryHive::CurrentUser;
    if (upper == u"HKLM")
        return RegistryHive::LocalMachine;
    if (upper == u"HKU")
        return RegistryHive::Users;
    if (upper == u"HKDD")
        return RegistryHive::DynData;
    if (upper == u"HKCC")
        return RegistryHive::CurrentConfig;
    if (upper == u"HKCR")
        return RegistryHive::ClassesRoot;
    return std::nullopt;
}

QString TrimNull(const QString& text) {
    const qsizetype end = text.indexOf(QChar(u'\0'));
    return end < 0 ? text : text.left(end);
}

HTMLHelp::RegistryLine HTMLHelp::RegReadStringValue(const QString& hiveName, const QString& keyPath,
                                                    const QString& valueName) const {
    const auto hive = ParseHiveName(hiveName);
    if (!hive)
        return {};
    const auto key = CurrentRegistry().openKey(*hive, keyPath, RegistryAccess::QueryValue);
    if (!key)
        return {};
    for (std::uint32_t index = 0;; ++index) {
        const auto info = key->enumValue(index);
        if (!info)
            break;
        if (info->type != RegistryType::String && info->type != RegistryType::ExpandString)
            continue;
        if (info->name.compare(valueName, Qt::CaseInsensitive) != 0)
            continue;
        const auto data = key->queryValue(info->name);
        if (!data)
            return {};
        QString text = QString::fromUtf8(*data);
        if (info->type == RegistryType::ExpandString)
            text = ExpandEnvironmentStrings(TrimNull(text)) + QChar(u'\0');
        return {info->name, info->name + u'=' + text + u'\r'};
    }
    return {};
}

// The data of a value read with RegReadStringValue: after the name and its "=", without the
// closing carriage return, up to the stored string's terminating NUL.
QString HTMLHelp::RegistryLineData(const RegistryLine& found) {
    QString data = found.line.mid(found.name.size() + 1);
    if (data.endsWith(u'\r'))
        data.chop(1);
    return TrimNull(data);
}

bool HTMLHelp::EnsureFileExists(QString& fileToFind) {
    if (!HasFolderPart(fileToFind)) {
        HHCheckRegistry(fileToFind);
        // A listing without a folder (as older versions of this class wrote for bare names)
        // would leave a path relative to wherever the program was started from.
        if (regFileName_.isEmpty() || regFilePath_.isEmpty())
            fileToFind = JoinFolder(QString::fromStdString(programFolder_.string()), fileToFind);
        else
            fileToFind = JoinFolder(regFilePath_, regFileName_);
    }
    if (FileExists(ToPath(fileToFind)))
        return true;
    ShowWarningMessage(QStringLiteral("The file ") + fileToFind +
                       QStringLiteral(" does not exist.") + u'\n' +
                       QStringLiteral("Please make sure the correct path and file name have been "
                                      "specified."));
    return false;
}

void HTMLHelp::HHCheckRegistry(const QString& fileToCheck) {
    if (fileToCheck.isEmpty())
        return;
    regFileExists_ = false;
    if (!IsChmFileName(fileToCheck))
        return;
    const QString bare = BareName(fileToCheck);
    const RegistryLine found = RegReadStringValue(QStringLiteral("HKLM"), HelpLocationsKey, bare);
    if (found.name.compare(bare, Qt::CaseInsensitive) != 0 || found.line.isEmpty()) {
        regFileName_.clear();
        regFilePath_.clear();
        return;
    }
    regFileName_ = found.name;
    regFilePath_ = RegistryLineData(found);
    // Always with a folder part, so that EnsureFileExists does not come back here.
    QString listed = regFilePath_.isEmpty() ? QDir::separator() + regFileName_
                                            : JoinFolder(regFilePath_, regFileName_);
    if (EnsureFileExists(listed))
        regFileExists_ = true;
}

void HTMLHelp::HHRegister(QString& fileToRegister) {
    if (fileToRegister.isEmpty())
        return;
    if (!IsChmFileName(fileToRegister))
        return;
    HHCheckRegistry(fileToRegister);
    if (!regFileName_.isEmpty()) {
        ShowInfoMessage(QStringLiteral("The file ") + fileToRegister +
                        QStringLiteral(" is already registered.  ") +
                        QStringLiteral("HHRegister will not be run as no action need be taken."));
        return;
    }
    if (!IsChmFileName(fileToRegister))
        return;
    if (!EnsureFileExists(fileToRegister))
        return;
    // Listed with the folder the file was found in, also when the caller gave a bare name,
    // so that the entry leads back to the file.
    const QString bare = BareName(fileToRegister);
    const QString folder = fileToRegister.left(fileToRegister.size() - bare.size());
    fileToRegister = bare;

    const auto key =
        CurrentRegistry().createKey(RegistryHive::LocalMachine, HelpLocationsKey,
                                    RegistryAccess::SetValue | RegistryAccess::CreateSubKey);
    if (!key) {
        ShowWarningMessage(QStringLiteral("HTML Help Class: HHRegister Error"));
        return;
    }
    if (key->setValue(bare, RegistryType::String, folder.toUtf8() + '\0'))
        key->close();
    else
        HHCheckRegistry(bare);
}

void HTMLHelp::HHUnRegister(QString& fileToUnRegister) {
    if (fileToUnRegister.isEmpty())
        return;
    if (!IsChmFileName(fileToUnRegister))
        return;
    HHCheckRegistry(fileToUnRegister);
    if (regFileName_.isEmpty()) {
        ShowInfoMessage(QStringLiteral("The file ") + fileToUnRegister +
                        QStringLiteral(" is not registered.  ") +
                        QStringLiteral("HHUnRegister will not be run as no action need be taken."));
        return;
    }
    fileToUnRegister = BareName(fileToUnRegister);
    if (const auto key = CurrentRegistry().openKey(RegistryHive::LocalMachine, HelpLocationsKey,
                                                   RegistryAccess::SetValue))
        key->deleteValue(fileToUnRegister);
    HHCheckRegistry(fileToUnRegister);
}

} // namespace kovi
