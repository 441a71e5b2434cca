#include "core/program/SettingsStore.h"

#include "kovi/Version.h"

#include <QDir>
#include <QSettings>

#include <optional>

namespace kovi {
namespace {

constexpr char Group[] = "Settings";

constexpr int FactorDefault = 1;
constexpr int FactorHighest = 255;
constexpr int SwitchDefault = 1;
constexpr char LastResIndexDefault[] = "80x80";
constexpr char ProcessSubsDefault[] = "0";

// Opened per call: the store keeps no state between calls.
class OpenStore {
public:
    OpenStore()
        : settings_(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(ProductName),
                    QString::fromLatin1(ProductName)) {
        settings_.beginGroup(QString::fromLatin1(Group));
    }

    // The stored text, or nothing when the key is missing or holds no plain text (a
    // hand-edited INI value with a comma reads back as a list).
    std::optional<QString> text(const QString& key) const {
        const QVariant value = settings_.value(key);
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    }

    void write(const QString& key, const QString& text) { settings_.setValue(key, text); }

private:
    QSettings settings_;
};

// Plain decimal digits only: no sign, blanks, fraction or exponent.
std::optional<int> WholeNumberInRange(const std::optional<QString>& text, int highest) {
    if (!text || text->isEmpty())
        return std::nullopt;
    for (const QChar c : *text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = text->toLongLong(&ok);
    if (!ok || value > highest)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

QString DefaultLastFolder() {
    return QDir::toNativeSeparators(QDir::rootPath());
}

SettingsStore::SettingsStore(ProgramSettings& values, FolderSelection* folder)
    : values_(values), folder_(folder) {}

void SettingsStore::SaveRegSetting(const QString& key) {
    OpenStore store;
    if (key == QLatin1String(LastFolderKey)) {
        if (folder_ != nullptr)
            store.write(key, folder_->SelectedFolder());
    } else if (key == QLatin1String(LastResIndexKey)) {
        store.write(key, values_.LastResIndex);
    } else if (key == QLatin1String(ProcessSubsKey)) {
        store.write(key, values_.ProcessSubs);
    } else if (key == QLatin1String(JpegChromKey)) {
        store.write(key, QString::number(values_.JpegChrom));
    } else if (key == QLatin1String(JpegLumKey)) {
        store.write(key, QString::number(values_.JpegLum));
    } else if (key == QLatin1String(ShowTipsKey)) {
        store.write(key, QString::number(values_.ShowTips));
    } else if (key == QLatin1String(WriteLogKey)) {
        store.write(key, QString::number(values_.WriteLog));
    }
}

void SettingsStore::LoadRegSetting(const QString& key) {
    const OpenStore store;
    if (key == QLatin1String(LastFolderKey)) {
        if (folder_ != nullptr)
            folder_->SetSelectedFolder(store.text(key).value_or(DefaultLastFolder()));
    } else if (key == QLatin1String(LastResIndexKey)) {
        values_.LastResIndex = store.text(key).value_or(QString::fromLatin1(LastResIndexDefault));
    } else if (key == QLatin1String(ProcessSubsKey)) {
        const std::optional<QString> text = store.text(key);
        const bool valid = text == QLatin1String("0") || text == QLatin1String("1");
        values_.ProcessSubs = valid ? *text : QString::fromLatin1(ProcessSubsDefault);
    } else if (key == QLatin1String(JpegChromKey)) {
        values_.JpegChrom =
            WholeNumberInRange(store.text(key), FactorHighest).value_or(FactorDefault);
    } else if (key == QLatin1String(JpegLumKey)) {
        values_.JpegLum =
            WholeNumberInRange(store.text(key), FactorHighest).value_or(FactorDefault);
    } else if (key == QLatin1String(ShowTipsKey)) {
        values_.ShowTips = WholeNumberInRange(store.text(key), 1).value_or(SwitchDefault);
    } else if (key == QLatin1String(WriteLogKey)) {
        values_.WriteLog = WholeNumberInRange(store.text(key), 1).value_or(SwitchDefault);
    }
}

} // namespace kovi
