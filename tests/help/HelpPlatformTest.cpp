#include "platform/Environment.h"
#include "platform/SystemServices.h"
#include "platform/chm/PopupText.h"
#include "platform/chm/SiteMap.h"
#include "platform/linux/IniHive.h"
#include "platform/linux/IniRegistry.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kovi;
using kovi::testing::ReadBytes;
using kovi::testing::TempFolder;
using kovi::testing::WriteBytes;

namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

// ---- contents and index files

TEST(SiteMap, NestedContents) {
    const auto entries = ParseSiteMap(R"(<HTML><BODY>
<OBJECT type="text/site properties"><param name="ImageType" value="Folder"></OBJECT>
<UL>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Welcome">
      <param name="Local" value="welcome.html"></OBJECT>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Using it"></OBJECT>
  <UL>
    <LI><OBJECT type="text/sitemap"><param name="Name" value="Options &amp; more">
        <param name="Local" value="options.html#sliders"></OBJECT>
  </UL>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Last"><param name="Local" value="last.htm"></OBJECT>
</UL></BODY></HTML>)");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(Std(entries[0].name), "Welcome");
    ASSERT_EQ(entries[0].topics.size(), 1u);
    EXPECT_EQ(Std(entries[0].topics[0].local), "welcome.html");
    EXPECT_TRUE(entries[1].topics.empty());
    ASSERT_EQ(entries[1].children.size(), 1u);
    EXPECT_EQ(Std(entries[1].children[0].name), "Options & more");
    EXPECT_EQ(Std(entries[1].children[0].topics[0].local), "options.html#sliders");
    EXPECT_EQ(Std(entries[2].name), "Last");
}

TEST(SiteMap, KeywordWithTwoTopics) {
    const auto entries = ParseSiteMap(R"(<UL><LI> <OBJECT type="text/sitemap">
        <param name="Name" value="exclusions">
        <param name="Name" value="Leaving folders out"><param name="Local" value="folders.html">
        <param name="Name" value="Leaving file types out"><param name="Local" value="types.html">
        </OBJECT></UL>)");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Std(entries[0].name), "exclusions");
    ASSERT_EQ(entries[0].topics.size(), 2u);
    EXPECT_EQ(Std(entries[0].topics[0].name), "Leaving folders out");
    EXPECT_EQ(Std(entries[0].topics[1].local), "types.html");
}

TEST(SiteMap, ToleratesSloppyMarkup) {
    // Lower case, single quotes, unquoted values, unclosed lists, foreign objects.
    const auto entries = ParseSiteMap(R"(<ul><li><object type='text/sitemap'>
        <param name=Name value='It&#39;s here'><param name=Local value=page.html></object>
        <li><object type="application/x-oleobject"><param name="Name" value="skip"></object>
        <ul><li><object type="text/sitemap"><param name="Name" value="Child &#x263A;"></object>)");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Std(entries[0].name), "It's here");
    EXPECT_EQ(Std(entries[0].topics[0].local), "page.html");
    ASSERT_EQ(entries[0].children.size(), 1u);
    EXPECT_EQ(entries[0].children[0].name, QStringLiteral("Child \u263A"));
}

TEST(SiteMap, NoListAtAll) {
    EXPECT_TRUE(ParseSiteMap("<html>nothing here</html>").empty());
}

TEST(HelpText, Utf8OrWindowsWestern) {
    EXPECT_EQ(DecodeHelpText("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(DecodeHelpText("caf\xe9"), QStringLiteral("caf\u00e9"));
}

// ---- pop-up texts

TEST(PopupText, TopicByNameOrNumber) {
    const auto names =
        ParseContextDefines("/* ids */\n#define IDH_A 2000\n  #  define IDH_B 0x7D1\n"
                            "#define NOT_A_NUMBER x\n");
    EXPECT_EQ(names.value("IDH_A"), 2000u);
    EXPECT_EQ(names.value("IDH_B"), 2001u);
    EXPECT_FALSE(names.contains("NOT_A_NUMBER"));

    const QString file = ".topic IDH_A\r\nFirst line\r\nsame paragraph.\r\n\r\nSecond one.\r\n"
                         ".topic 2002\r\nBy number.\r\n.topic idh_b\r\nLower case name.\r\n";
    EXPECT_EQ(FindPopupTopic(file, 2000, names),
              QString("First line same paragraph.\n\nSecond one."));
    EXPECT_EQ(FindPopupTopic(file, 2002, names), QString("By number."));
    EXPECT_EQ(FindPopupTopic(file, 2001, names), QString("Lower case name."));
    EXPECT_FALSE(FindPopupTopic(file, 9999, names));
}

// ---- the registry store

TEST(IniHive, RoundTripKeepsEveryByte) {
    TempFolder folder;
    const auto file = folder / "HKEY_LOCAL_MACHINE.ini";
    IniHive hive;
    auto& key = hive.addKey("Software\\Odd [Key]=1\\");
    const QByteArray data("a=b%c\r\n[x]\0end\xc3\xa9", 16);
    key.values.push_back({"name = with ; odd [chars]", 1, data});
    key.values.push_back({"", 2, QByteArray("%TEMP%\\x\0", 9)});
    hive.addKey("Empty");
    ASSERT_TRUE(hive.save(file));

    auto loaded = IniHive::load(file);
    ASSERT_TRUE(loaded);
    auto* found = loaded->findKey("software\\odd [key]=1");
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(found->values.size(), 2u);
    EXPECT_EQ(Std(found->values[0].name), "name = with ; odd [chars]");
    EXPECT_EQ(found->values[0].data, data);
    EXPECT_EQ(found->values[1].type, 2u);
    EXPECT_TRUE(loaded->keyExists("EMPTY"));
    EXPECT_TRUE(loaded->keyExists("Software"));
    EXPECT_FALSE(loaded->keyExists("Soft"));
}

TEST(IniHive, FileIsReadableText) {
    TempFolder folder;
    const auto file = folder / "hive.ini";
    IniHive hive;
    hive.addKey("Software\\Microsoft\\Windows\\HTML Help")
        .values.push_back({"kovi.chm", 1, QByteArray("/opt/kovi/\0", 11)});
    ASSERT_TRUE(hive.save(file));
    EXPECT_EQ(ReadBytes(file),
              "[Software\\Microsoft\\Windows\\HTML Help]\nkovi.chm=sz:/opt/kovi/%00\n\n");
}

TEST(IniHive, MissingFileIsAnEmptyHive) {
    TempFolder folder;
    const auto hive = IniHive::load(folder / "none.ini");
    ASSERT_TRUE(hive);
    EXPECT_FALSE(hive->keyExists("Software"));
}

TEST(IniHive, HandEditedLinesAreRead) {
    TempFolder folder;
    WriteBytes(folder / "hive.ini", "; a comment\r\n[Software\\X]\r\nA=sz:one\r\nbroken line\r\n"
                                    "B=nonsense:two\r\na=sz:again\r\n");
    auto hive = IniHive::load(folder / "hive.ini");
    ASSERT_TRUE(hive);
    auto* key = hive->findKey("software\\x");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 1u); // the second "a" replaces "A"; the bad lines are skipped
    EXPECT_EQ(key->values[0].data, QByteArray("again"));
}

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override { SetRegistryFolder(folder_.path()); }
    void TearDown() override { SetRegistryFolder({}); }
    TempFolder folder_;
    IniRegistry registry_;
};

TEST_F(RegistryStore, KeysAndValuesRoundTrip) {
    EXPECT_EQ(registry_.openKey(RegistryHive::LocalMachine, "Software\\Kovi", 1), nullptr);
    auto created = registry_.createKey(RegistryHive::LocalMachine, "Software\\Kovi", 6);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->setValue("Help.chm", 1, QByteArray("/x/\0", 4)));
    EXPECT_FALSE(created->queryValue("help.chm")); // opened without query access

    auto reader = registry_.openKey(RegistryHive::LocalMachine, "SOFTWARE\\kovi", 1);
    ASSERT_NE(reader, nullptr);
    const auto info = reader->enumValue(0);
    ASSERT_TRUE(info);
    EXPECT_EQ(Std(info->name), "Help.chm");
    EXPECT_EQ(info->dataLength, 4u);
    EXPECT_FALSE(reader->enumValue(1));
    EXPECT_EQ(reader->queryValue("HELP.CHM"), QByteArray("/x/\0", 4));
    EXPECT_FALSE(reader->setValue("other", 1, "y")); // opened for reading only
    EXPECT_TRUE(reader->close());
    EXPECT_FALSE(reader->close());

    EXPECT_TRUE(created->deleteValue("help.CHM"));
    EXPECT_FALSE(created->deleteValue("help.chm"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "HKEY_LOCAL_MACHINE.ini"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "HKEY_CLASSES_ROOT.ini"));
}

TEST_F(RegistryStore, HivesAreKeptApart) {
    registry_.createKey(RegistryHive::CurrentUser, "Software\\Kovi", 6);
    EXPECT_NE(registry_.openKey(RegistryHive::CurrentUser, "Software\\Kovi", 1), nullptr);
    EXPECT_EQ(registry_.openKey(RegistryHive::LocalMachine, "Software\\Kovi", 1), nullptr);
}

// ---- small services

TEST(Environment, ExpandsKnownNamesOnly) {
    setenv("KOVI_TEST_A", "alpha", 1);
    unsetenv("KOVI_TEST_NONE");
    EXPECT_EQ(Std(ExpandEnvironmentStrings("%KOVI_TEST_A%\\b")), "alpha\\b");
    EXPECT_EQ(Std(ExpandEnvironmentStrings("%KOVI_TEST_NONE%x")), "%KOVI_TEST_NONE%x");
    EXPECT_EQ(Std(ExpandEnvironmentStrings("50% of %KOVI_TEST_A%")), "50% of alpha");
    EXPECT_EQ(Std(ExpandEnvironmentStrings("100%")), "100%");
    EXPECT_EQ(Std(ExpandEnvironmentStrings("%%")), "%%");
}

class DesktopOpener : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        std::filesystem::create_directories(folder_ / "bin");
        WriteBytes(folder_ / "page.html", "");
        WriteBytes(folder_ / "notes.txt", "");
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }
    void useOpener(bool present) {
        if (present) {
            WriteBytes(folder_ / "bin" / "xdg-open", "#!/bin/sh\n");
            std::filesystem::permissions(folder_ / "bin" / "xdg-open",
                                         std::filesystem::perms::owner_all);
        }
        setenv("PATH", (folder_ / "bin").c_str(), 1);
    }
    QString folder() const { return QString::fromStdString(folder_.path().string()); }

    TempFolder folder_;
    std::string savedPath_;
    std::unique_ptr<BrowserLauncher> launcher_ = CreateSystemBrowserLauncher();
};

TEST_F(DesktopOpener, OpensExistingWebPagesOnly) {
    useOpener(false);
    auto found = launcher_->findExecutable("page.html", folder());
    EXPECT_EQ(found.code, 2);
    EXPECT_TRUE(found.path.isEmpty());

    useOpener(true);
    found = launcher_->findExecutable("page.html", folder());
    EXPECT_GT(found.code, 32);
    EXPECT_EQ(found.path.toStdString(), (folder_ / "bin" / "xdg-open").string());
    EXPECT_EQ(launcher_->findExecutable("other.html", folder()).code, 2);
    EXPECT_LT(launcher_->findExecutable("notes.txt", folder()).code, 32);
}

TEST(TemporaryFolder, EndsInASeparator) {
    EXPECT_TRUE(CreateSystemBrowserLauncher()->tempPath().endsWith(u'/'));
}

} // namespace
