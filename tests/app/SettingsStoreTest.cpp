#include "app/SettingsStore.h"

#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kovi {

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using testing::SettingsSandbox;

const QString AllKeys[] = {QStringLiteral("lastfolder"),  QStringLiteral("lastresindex"),
                           QStringLiteral("processsubs"), QStringLiteral("jpegchrom"),
                           QStringLiteral("jpeglum"),     QStringLiteral("showtips"),
                           QStringLiteral("writelog")};

class FakeFolder : public FolderSelection {
public:
    QString SelectedFolder() const override { return folder; }
    void SetSelectedFolder(const QString& path) override {
        folder = path;
        ++writes;
    }
    QString folder;
    int writes = 0;
};

// Values that no load would give, so that "left alone" shows.
ProgramSettings UntouchedValues() {
    return {QStringLiteral("untouched"), QStringLiteral("untouched"), 77, 77, 77, 77};
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox.isValid()); }

    void loadAll() {
        for (const QString& key : AllKeys)
            store.LoadRegSetting(key);
    }
    void saveAll() {
        for (const QString& key : AllKeys)
            store.SaveRegSetting(key);
    }

    SettingsSandbox sandbox;
    ProgramSettings values;
    FakeFolder folder;
    SettingsStore store{values, &folder};
};

TEST_F(SettingsStoreTest, FirstStartGivesTheDefaultsAndWritesNothing) {
    values = UntouchedValues();
    loadAll();
    EXPECT_EQ(folder.folder, QStringLiteral("/"));
    EXPECT_EQ(values.LastResIndex, QStringLiteral("80x80"));
    EXPECT_EQ(values.ProcessSubs, QStringLiteral("0"));
    EXPECT_EQ(values.JpegChrom, 1);
    EXPECT_EQ(values.JpegLum, 1);
    EXPECT_EQ(values.ShowTips, 1);
    EXPECT_EQ(values.WriteLog, 1);
    EXPECT_TRUE(SettingsSandbox::storedKeys().isEmpty());
}

TEST_F(SettingsStoreTest, EverySettingComesBackAsSavedAndTextsAreStoredUnchanged) {
    folder.folder = QStringLiteral("/home/zoë/Фото, alt/[x] = y;z");
    values = {QStringLiteral(" 800 x600"), QStringLiteral("1"), 255, 0, 0, 0};
    saveAll();
    EXPECT_EQ(SettingsSandbox::storedValue(QStringLiteral("lastresindex")),
              QVariant(values.LastResIndex));
    EXPECT_EQ(SettingsSandbox::storedValue(QStringLiteral("processsubs")),
              QVariant(values.ProcessSubs));
    EXPECT_EQ(SettingsSandbox::storedValue(QStringLiteral("lastfolder")), QVariant(folder.folder));

    ProgramSettings loaded = UntouchedValues();
    FakeFolder loadedFolder;
    SettingsStore fresh(loaded, &loadedFolder);
    for (const QString& key : AllKeys)
        fresh.LoadRegSetting(key);

    EXPECT_EQ(loadedFolder.folder, folder.folder);
    EXPECT_EQ(loaded.LastResIndex, values.LastResIndex);
    EXPECT_EQ(loaded.ProcessSubs, values.ProcessSubs);
    EXPECT_EQ(loaded.JpegChrom, 255);
    EXPECT_EQ(loaded.JpegLum, 0);
    EXPECT_EQ(loaded.ShowTips, 0);
    EXPECT_EQ(loaded.WriteLog, 0);
}

TEST_F(SettingsStoreTest, NumbersAreStoredAsPlainDecimalDigits) {
    values.JpegChrom = 255;
    values.JpegLum = 0;
    values.ShowTips = 1;
    values.WriteLog = 0;
    store.SaveRegSetting(QStringLiteral("jpegchrom"));
    store.SaveRegSetting(QStringLiteral("jpeglum"));
    store.SaveRegSetting(QStringLiteral("showtips"));
    store.SaveRegSetting(QStringLiteral("writelog"));
    EXPECT_EQ(testing::ReadBytes(sandbox.storeFile().toStdString()),
              "[Settings]\njpegchrom=255\njpeglum=0\nshowtips=1\nwritelog=0\n");
}

TEST_F(SettingsStoreTest, SavingOneKeyLeavesTheOthersAlone) {
    SettingsSandbox::store(QStringLiteral("jpeglum"), QStringLiteral("9"));
    values.JpegChrom = 3;
    store.SaveRegSetting(QStringLiteral("jpegchrom"));
    EXPECT_EQ(SettingsSandbox::storedValue(QStringLiteral("jpeglum")),
              QVariant(QStringLiteral("9")));
    EXPECT_EQ(SettingsSandbox::storedKeys().size(), 2);
}

TEST_F(SettingsStoreTest, WithoutAFolderHomeLastFolderIsNeitherReadNorWritten) {
    SettingsStore noFolder(values, nullptr);
    noFolder.SaveRegSetting(QStringLiteral("lastfolder"));
    EXPECT_TRUE(SettingsSandbox::storedKeys().isEmpty());
    SettingsSandbox::store(QStringLiteral("lastfolder"), QStringLiteral("/tmp"));
    noFolder.LoadRegSetting(QStringLiteral("lastfolder"));
    EXPECT_EQ(folder.writes, 0);
}

class OtherKeys : public SettingsStoreTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(OtherKeys, AreNeitherSavedNorLoaded) {
    const QString key = QString::fromUtf8(GetParam());
    values = {QStringLiteral("640x480"), QStringLiteral("1"), 5, 6, 0, 0};
    folder.folder = QStringLiteral("/somewhere");
    store.SaveRegSetting(key);
    EXPECT_TRUE(SettingsSandbox::storedKeys().isEmpty());

    for (const QString& real : AllKeys)
        SettingsSandbox::store(real, QStringLiteral("1"));
    values = UntouchedValues();
    store.LoadRegSetting(key);
    EXPECT_EQ(values.LastResIndex, QStringLiteral("untouched"));
    EXPECT_EQ(values.ProcessSubs, QStringLiteral("untouched"));
    EXPECT_EQ(values.JpegChrom, 77);
    EXPECT_EQ(values.JpegLum, 77);
    EXPECT_EQ(values.ShowTips, 77);
    EXPECT_EQ(values.WriteLog, 77);
    EXPECT_EQ(folder.writes, 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, OtherKeys,
                         ::testing::Values("LastFolder", "LASTRESINDEX", "ProcessSubs", "jpegChrom",
                                           "JpegLum", "ShowTips", "WriteLog", "lastresindex ",
                                           " jpeglum", "Settings/jpegchrom", "lastres", "",
                                           "bogus"));

struct StoredCase {
    const char* name;
    const char* key;
    QVariant stored;
    // What the home holds after loading: text for the text keys, the number otherwise.
    QVariant expected;
};

void PrintTo(const StoredCase& storedCase, std::ostream* out) {
    *out << storedCase.name;
}

class StoredValues : public SettingsStoreTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValues, LoadAsValidOrFallBackToTheDefault) {
    const StoredCase& c = GetParam();
    const QString key = QString::fromLatin1(c.key);
    SettingsSandbox::store(key, c.stored);
    values = UntouchedValues();
    store.LoadRegSetting(key);

    QVariant loaded;
    if (key == QLatin1String("lastfolder"))
        loaded = folder.folder;
    else if (key == QLatin1String("lastresindex"))
        loaded = values.LastResIndex;
    else if (key == QLatin1String("processsubs"))
        loaded = values.ProcessSubs;
    else if (key == QLatin1String("jpegchrom"))
        loaded = values.JpegChrom;
    else if (key == QLatin1String("jpeglum"))
        loaded = values.JpegLum;
    else if (key == QLatin1String("showtips"))
        loaded = values.ShowTips;
    else
        loaded = values.WriteLog;
    EXPECT_EQ(loaded, c.expected) << "got " << loaded.toString().toStdString();
}

const QVariant Text(const char* text) {
    return QString::fromUtf8(text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredValues,
    ::testing::Values(
        StoredCase{"factor_lowest", "jpegchrom", Text("0"), 0},
        StoredCase{"factor_highest", "jpegchrom", Text("255"), 255},
        StoredCase{"factor_leading_zeros", "jpeglum", Text("007"), 7},
        StoredCase{"factor_above_range", "jpegchrom", Text("256"), 1},
        StoredCase{"factor_negative", "jpeglum", Text("-1"), 1},
        StoredCase{"factor_with_plus_sign", "jpeglum", Text("+5"), 1},
        StoredCase{"factor_fraction", "jpegchrom", Text("1.5"), 1},
        StoredCase{"factor_exponent", "jpegchrom", Text("1e2"), 1},
        StoredCase{"factor_hexadecimal", "jpegchrom", Text("0x10"), 1},
        StoredCase{"factor_letters", "jpeglum", Text("abc"), 1},
        StoredCase{"factor_empty", "jpeglum", Text(""), 1},
        StoredCase{"factor_leading_blank", "jpegchrom", Text(" 7"), 1},
        StoredCase{"factor_beyond_64_bits", "jpegchrom", Text("99999999999999999999999"), 1},
        StoredCase{"factor_beyond_16_bits", "jpegchrom", Text("65537"), 1},
        StoredCase{"factor_stored_as_list", "jpeglum", QStringList{"1", "2"}, 1},
        StoredCase{"switch_off", "showtips", Text("0"), 0},
        StoredCase{"switch_two", "showtips", Text("2"), 1},
        StoredCase{"switch_word", "writelog", Text("false"), 1},
        StoredCase{"switch_off_log", "writelog", Text("0"), 0},
        StoredCase{"subs_on", "processsubs", Text("1"), Text("1")},
        StoredCase{"subs_off", "processsubs", Text("0"), Text("0")},
        StoredCase{"subs_two", "processsubs", Text("2"), Text("0")},
        StoredCase{"subs_word", "processsubs", Text("true"), Text("0")},
        StoredCase{"subs_leading_zero", "processsubs", Text("01"), Text("0")},
        StoredCase{"subs_blank", "processsubs", Text(" 1"), Text("0")},
        StoredCase{"subs_empty", "processsubs", Text(""), Text("0")},
        StoredCase{"resolution_any_text_kept", "lastresindex", Text("abc"), Text("abc")},
        StoredCase{"resolution_empty_kept", "lastresindex", Text(""), Text("")},
        StoredCase{"resolution_stored_as_list", "lastresindex", QStringList{"640", "480"},
                   Text("80x80")},
        StoredCase{"folder_kept", "lastfolder", Text("/no/such/folder"), Text("/no/such/folder")},
        StoredCase{"folder_stored_as_list", "lastfolder", QStringList{"/a", "b"}, Text("/")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kovi
