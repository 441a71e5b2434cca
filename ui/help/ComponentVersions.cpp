#include "ui/help/ComponentVersions.h"

#include <QStringList>

#include <array>
#include <utility>

namespace kovi {
namespace {

using NamePair = std::pair<const char*, const char*>;

constexpr std::array HHFriendlyNames{
    NamePair{"4.72.7290.00", "1.0"},
    NamePair{"4.72.7323.00", "1.1"},
    NamePair{"4.72.7325.00", "1.1a"},
    NamePair{"4.72.8164.00", "1.1b"},
    NamePair{"4.73.8252.00", "1.2"},
    NamePair{"4.73.8412.00", "1.21"},
    NamePair{"4.73.8474.00", "1.21a"},
    NamePair{"4.73.8561.00", "1.22"},
    NamePair{"4.74.8566.00", "1.3 Windows 2000 Beta"},
    NamePair{"4.74.8637.00", "1.3 IE 5.5 Platform Preview Beta"},
    NamePair{"4.74.8702.00", "1.3"},
};

// Several rows carry more leading zeros than a version text ever has and so never match;
// they are kept as the releases were published.
constexpr std::array IEFriendlyNames{
    NamePair{"4.70.1155.0000", "3.0"},
    NamePair{"4.70.1158.0000", "3.0 OSR2"},
    NamePair{"4.70.1215.0000", "3.02"},
    NamePair{"4.70.1300.0000", "3.02"},
    NamePair{"4.71.1008.3000", "4.0 PP2"},
    NamePair{"4.71.1712.5000", "4.0"},
    NamePair{"4.72.2106.7000", "4.01"},
    NamePair{"4.72.3110.0300", "4.0 SP1"},
    NamePair{"4.72.3612.1707", "4.0 SP2"},
    NamePair{"5.00.0518.5000", "5.0 beta 1"},
    NamePair{"5.00.0910.1308", "5.0 beta 2"},
    NamePair{"5.00.2014.2130", "5.0"},
    NamePair{"5.00.2314.1000", "5.0a (Office 2000)"},
    NamePair{"5.00.2614.3500", "5.0b (Windows 98 SE)"},
    NamePair{"5.00.2717.2000", "5.0c (Icon Security Issue Update)"},
    NamePair{"5.00.2721.1400", "5.0d (ImportExport Favorites Issue Update)"},
    NamePair{"5.00.2919.800", "5.x (Windows 2000 RC1, build 5.00.2072)"},
    NamePair{"5.00.2919.3800", "5.x (Windows 2000 RC2, build 5.00.2128)"},
    NamePair{"5.00.2919.6307", "5.01"},
    NamePair{"5.50.3825.1300", "5.5 Platform Preview"},
};

constexpr std::int32_t FirstHHCode = 16;
constexpr std::array MinimumHHVersions{
    "4.72.7290", "4.72.7323", "4.72.7325", "4.72.8164.0", "4.73.8252", "4.73.8412",
    "4.73.8474", "4.73.8561", "4.74.8566", "4.74.8637",   "4.74.8702",
};

constexpr std::int32_t FirstIECode = 256;
constexpr std::array MinimumIEVersions{
    "4.70.1155",      "4.70.1158",     "4.70.1215",      "4.70.1300",      "4.71.1008.3",
    "4.71.1712.5",    "4.72.2106.7",   "4.72.3110.03",   "4.72.3612.1707", "5.00.0518.5",
    "5.00.0910.1308", "5.00.2014.213", "5.00.2314.1000", "5.00.2614.3500", "5.0.2717.2000",
    "5.00.2721.1400", "5.00.2919.800", "5.00.2919.3800",
};

template <std::size_t Size>
QString FriendlyName(const std::array<NamePair, Size>& table, const QString& version) {
    for (const auto& [text, name] : table) {
        if (version.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("unknown");
}

template <std::size_t Size>
std::optional<QString> Minimum(const std::array<const char*, Size>& table, std::int32_t first,
                               std::int32_t code) {
    if (code < first || code >= first + static_cast<std::int32_t>(Size))
        return std::nullopt;
    return QString::fromLatin1(table[static_cast<std::size_t>(code - first)]);
}

} // namespace

QString FileVersionText(const FileVersionNumbers& version) {
    QString text = QString::number(version.major) + u'.' +
                   QStringLiteral("%1").arg(version.minor, 2, 10, QLatin1Char('0')) + u'.';
    if (static_cast<std::int16_t>(version.build) > 0) {
        text += QStringLiteral("%1.%2")
                    .arg(version.build, 2, 10, QLatin1Char('0'))
                    .arg(version.revision, 2, 10, QLatin1Char('0'));
    } else {
        text += QStringLiteral("%1").arg(version.revision, 4, 10, QLatin1Char('0'));
    }
    return text;
}

QString HHFriendlyNameFor(const QString& version) {
    return FriendlyName(HHFriendlyNames, version);
}
QString IEFriendlyNameFor(const QString& version) {
    return FriendlyName(IEFriendlyNames, version);
}

std::optional<QString> MinimumHHVersionText(std::int32_t code) {
    return Minimum(MinimumHHVersions, FirstHHCode, code);
}

std::optional<QString> MinimumIEVersionText(std::int32_t code) {
    return Minimum(MinimumIEVersions, FirstIECode, code);
}

bool VersionAtLeast(const QString& version, const QString& minimum) {
    const QStringList have = version.split(u'.');
    const QStringList want = minimum.split(u'.');
    for (qsizetype i = 0; i < std::max(have.size(), want.size()); ++i) {
        bool haveNumber = true;
        bool wantNumber = true;
        const qulonglong a = i < have.size() ? have[i].trimmed().toULongLong(&haveNumber) : 0;
        const qulonglong b = i < want.size() ? want[i].trimmed().toULongLong(&wantNumber) : 0;
        // Something that is no version does not pass.
        if (!haveNumber || !wantNumber)
            return false;
        if (a != b)
            return a > b;
    }
    return true;
}

int OSCodeFor(const OsVersion& version) {
    constexpr std::uint32_t Windows95Family = 1;
    constexpr std::uint32_t WindowsNtFamily = 2;
    if (version.platformId == Windows95Family) {
        if (version.minor == 0)
            return 2;
        if (version.minor == 10)
            return 4;
    } else if (version.platformId == WindowsNtFamily) {
        switch (version.major) {
        case 3:
            return 1;
        case 4:
            return 3;
        case 5:
            return 5;
        default:
            break;
        }
    }
    return 0;
}

} // namespace kovi
