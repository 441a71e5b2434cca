#pragma once

#include "kovi/Version.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace kovi::testing {

// Points the per-user settings store at a fresh temporary folder for as long as it lives, so
// that tests never read or write the real user's settings.
class SettingsSandbox {
public:
    SettingsSandbox() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
    }

    bool isValid() const { return folder_.isValid(); }

    // The program's store as another program would see it: its "Settings" group.
    static QVariant storedValue(const QString& key) {
        QSettings store = openStore();
        return store.value(QStringLiteral("Settings/") + key);
    }
    static void store(const QString& key, const QVariant& value) {
        QSettings store = openStore();
        store.setValue(QStringLiteral("Settings/") + key, value);
    }

    QString storeFile() const {
        const QString name = QString::fromLatin1(ProductName);
        return folder_.filePath(name + QLatin1Char('/') + name + QStringLiteral(".conf"));
    }

private:
    static QSettings openStore() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                         QString::fromLatin1(ProductName), QString::fromLatin1(ProductName));
    }

    QTemporaryDir folder_;
};

} // namespace kovi::testing
