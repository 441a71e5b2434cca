#include "help/ComponentVersions.h"
#include "help/HTMLHelp.h"

#include <gtest/gtest.h>

using namespace kovi;

namespace {

struct VersionTextCase {
    const char* name;
    FileVersionNumbers version;
    const char* text;
};

class VersionText : public ::testing::TestWithParam<VersionTextCase> {};

TEST_P(VersionText, FromTheFixedVersionRecord) {
    EXPECT_EQ(FileVersionText(GetParam().version).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, VersionText,
    ::testing::Values(
        VersionTextCase{"revision_0_gets_two_digits", {4, 74, 8702, 0}, "4.74.8702.00"},
        VersionTextCase{"minor_0_gets_two_digits", {5, 0, 2919, 6307}, "5.00.2919.6307"},
        VersionTextCase{"build_0_gives_three_parts", {4, 72, 0, 3110}, "4.72.3110"},
        VersionTextCase{"build_0_pads_the_revision_to_four", {4, 72, 0, 12}, "4.72.0012"},
        VersionTextCase{"small_build_gets_two_digits", {6, 1, 7, 3}, "6.01.07.03"},
        VersionTextCase{"build_above_32767_counts_as_negative", {4, 72, 40000, 5}, "4.72.0005"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FriendlyName, ExactTextIgnoringCase) {
    EXPECT_EQ(HHFriendlyNameFor("4.73.8561.00"), "1.22");
    EXPECT_EQ(HHFriendlyNameFor("4.74.8637.00"), "1.3 IE 5.5 Platform Preview Beta");
    EXPECT_EQ(HHFriendlyNameFor("4.74.8702"), "unknown");
    EXPECT_EQ(IEFriendlyNameFor("5.50.3825.1300"), "5.5 Platform Preview");
    EXPECT_EQ(IEFriendlyNameFor("5.00.2919.800"), "5.x (Windows 2000 RC1, build 5.00.2072)");
    EXPECT_EQ(IEFriendlyNameFor(""), "unknown");
    EXPECT_EQ(IEFriendlyNameFor("unknown"), "unknown");
}

TEST(MinimumVersion, CodesAndTheirTexts) {
    EXPECT_EQ(MinimumHHVersionText(16), QString("4.72.7290"));
    EXPECT_EQ(MinimumHHVersionText(19), QString("4.72.8164.0"));
    EXPECT_EQ(MinimumHHVersionText(26), QString("4.74.8702"));
    EXPECT_FALSE(MinimumHHVersionText(15));
    EXPECT_FALSE(MinimumHHVersionText(27));
    EXPECT_EQ(MinimumIEVersionText(256), QString("4.70.1155"));
    EXPECT_EQ(MinimumIEVersionText(270), QString("5.0.2717.2000"));
    EXPECT_EQ(MinimumIEVersionText(273), QString("5.00.2919.3800"));
    EXPECT_FALSE(MinimumIEVersionText(255));
    EXPECT_FALSE(MinimumIEVersionText(274));
}

struct AtLeastCase {
    const char* name;
    const char* version;
    const char* minimum;
    bool passes;
};

class AtLeast : public ::testing::TestWithParam<AtLeastCase> {};

TEST_P(AtLeast, NumberByNumber) {
    EXPECT_EQ(VersionAtLeast(GetParam().version, GetParam().minimum), GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AtLeast,
    ::testing::Values(AtLeastCase{"equal", "4.74.8702.00", "4.74.8702", true},
                      AtLeastCase{"one_build_lower", "4.74.8701.00", "4.74.8702", false},
                      AtLeastCase{"two_digit_major", "10.00.19041.01", "4.74.8702", true},
                      AtLeastCase{"padded_minor", "5.00.2717.2000", "5.0.2717.2000", true},
                      AtLeastCase{"longer_revision", "5.00.2014.2130", "5.00.2014.213", true},
                      AtLeastCase{"not_located", "", "4.72.7290", false},
                      AtLeastCase{"unknown_version", "unknown", "4.72.7290", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct OsCase {
    const char* name;
    OsVersion version;
    int code;
};

class OsCode : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsCode, FromTheSystemVersion) {
    EXPECT_EQ(OSCodeFor(GetParam().version), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OsCode,
    ::testing::Values(OsCase{"windows_95", {1, 4, 0}, 2}, OsCase{"windows_98", {1, 4, 10}, 4},
                      OsCase{"windows_me", {1, 4, 90}, 0}, OsCase{"nt_3", {2, 3, 51}, 1},
                      OsCase{"nt_4", {2, 4, 0}, 3}, OsCase{"windows_2000", {2, 5, 0}, 5},
                      OsCase{"windows_vista", {2, 6, 0}, 0}, OsCase{"linux", {0, 0, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HiveName, ShortNamesIgnoringCase) {
    EXPECT_EQ(ParseHiveName("HKLM"), RegistryHive::LocalMachine);
    EXPECT_EQ(ParseHiveName("hkcr"), RegistryHive::ClassesRoot);
    EXPECT_EQ(ParseHiveName("HKCU"), RegistryHive::CurrentUser);
    EXPECT_EQ(ParseHiveName("HKU"), RegistryHive::Users);
    EXPECT_EQ(ParseHiveName("HKCC"), RegistryHive::CurrentConfig);
    EXPECT_EQ(ParseHiveName("HKDD"), RegistryHive::DynData);
    EXPECT_FALSE(ParseHiveName("HKEY_LOCAL_MACHINE"));
    EXPECT_FALSE(ParseHiveName(""));
}

TEST(TrimNull, CutsAtTheFirstNul) {
    EXPECT_EQ(TrimNull(QString::fromUtf8("C:\\x\0   ", 8)), "C:\\x");
    EXPECT_EQ(TrimNull("no nul"), "no nul");
    EXPECT_EQ(TrimNull(QString(QChar(u'\0'))), "");
}

} // namespace
