#include "engine/Exclusions.h"
#include "engine/NumberFormat.h"
#include "engine/TargetResolution.h"

#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <optional>

namespace kovi {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<std::pair<double, double>> sides;
};

class ParseTarget : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTarget, ReadsTwoNumbersOfAtLeastOne) {
    const auto parsed = ParseTargetResolution(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().sides.has_value());
    if (parsed) {
        EXPECT_DOUBLE_EQ(parsed->width, GetParam().sides->first);
        EXPECT_DOUBLE_EQ(parsed->height, GetParam().sides->second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseTarget,
    ::testing::Values(ParseCase{"built_in", "640x480", std::pair{640.0, 480.0}},
                      ParseCase{"smallest", "1x1", std::pair{1.0, 1.0}},
                      ParseCase{"largest", "32767x32767", std::pair{32767.0, 32767.0}},
                      ParseCase{"blanks_around_sides", " 800 x 600 ", std::pair{800.0, 600.0}},
                      ParseCase{"further_pieces_ignored", "640x480x3", std::pair{640.0, 480.0}},
                      ParseCase{"decimal_side", "12.5x10", std::pair{12.5, 10.0}},
                      ParseCase{"grouped_side", "1,024x768", std::pair{1024.0, 768.0}},
                      ParseCase{"exponent", "1e3x5E2", std::pair{1000.0, 500.0}},
                      ParseCase{"plus_sign", "+640x480", std::pair{640.0, 480.0}},
                      ParseCase{"empty", "", std::nullopt},
                      ParseCase{"no_x", "640480", std::nullopt},
                      ParseCase{"upper_case_x", "640X480", std::nullopt},
                      ParseCase{"missing_height", "640x", std::nullopt},
                      ParseCase{"missing_width", "x480", std::nullopt},
                      ParseCase{"letters", "800pxx600", std::nullopt},
                      ParseCase{"zero_side", "0x480", std::nullopt},
                      ParseCase{"below_one", "0.4x480", std::nullopt},
                      ParseCase{"negative", "-640x480", std::nullopt},
                      ParseCase{"too_large", "32768x480", std::nullopt},
                      ParseCase{"huge_exponent", "1e999x480", std::nullopt},
                      ParseCase{"only_a_dot", ".x480", std::nullopt},
                      ParseCase{"bare_exponent", "1ex480", std::nullopt}),
    [](const auto& info) { return info.param.name; });

struct FitCase {
    const char* name;
    PixelSize image;
    TargetResolution target;
    bool resized;
    PixelSize fitted;
};

class FitRule : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitRule, FitsInsideTheTargetKeepingTheAspectRatio) {
    const auto& c = GetParam();
    EXPECT_EQ(NeedsResize(c.image, c.target), c.resized);
    if (c.resized) {
        const PixelSize fitted = FitInside(c.image, c.target);
        EXPECT_EQ(fitted.width, c.fitted.width);
        EXPECT_EQ(fitted.height, c.fitted.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitRule,
    ::testing::Values(
        FitCase{"equal_is_not_larger", {640, 480}, {640, 480}, false, {}},
        FitCase{"smaller_both", {320, 240}, {640, 480}, false, {}},
        FitCase{"one_wider", {641, 480}, {640, 480}, true, {640, 479}},
        FitCase{"one_taller", {640, 481}, {640, 480}, true, {639, 480}},
        FitCase{"wide_641x100", {641, 100}, {640, 480}, true, {640, 100}},
        FitCase{"wide_1000x300", {1000, 300}, {640, 480}, true, {640, 192}},
        FitCase{"tall_500x600", {500, 600}, {640, 480}, true, {400, 480}},
        FitCase{"portrait_1200x1600", {1200, 1600}, {640, 480}, true, {360, 480}},
        FitCase{"tall_100x2000", {100, 2000}, {640, 480}, true, {24, 480}},
        FitCase{"same_ratio_width_decides", {1280, 960}, {640, 480}, true, {640, 480}},
        FitCase{"tie_rounds_to_even_down_1280x25", {1280, 25}, {640, 480}, true, {640, 12}},
        FitCase{"tie_rounds_to_even_up_1280x27", {1280, 27}, {640, 480}, true, {640, 14}},
        FitCase{"height_decides_tie_down", {25, 960}, {640, 480}, true, {12, 480}},
        FitCase{"height_decides_tie_up", {27, 960}, {640, 480}, true, {14, 480}},
        FitCase{"side_rounding_to_zero_becomes_one", {10000, 1}, {80, 80}, true, {80, 1}},
        FitCase{"tall_line_rounding_to_zero", {1, 10000}, {80, 80}, true, {1, 80}},
        FitCase{"decimal_target_side_rounds", {1000, 1000}, {12.5, 100}, true, {12, 12}},
        FitCase{"decimal_target_not_resized", {12, 12}, {12.5, 12.5}, false, {}},
        FitCase{"camera_photo_4000x3000", {4000, 3000}, {1024, 768}, true, {1024, 768}},
        FitCase{"camera_portrait_3000x4000", {3000, 4000}, {1024, 768}, true, {576, 768}}),
    [](const auto& info) { return info.param.name; });

struct ExclusionCase {
    const char* name;
    const char* path;
    std::vector<std::string> extensions;
    std::vector<std::string> folders;
    bool excluded;
};

class Exclusion : public ::testing::TestWithParam<ExclusionCase> {};

TEST_P(Exclusion, MatchesAnywhereInThePathIgnoringCase) {
    const auto& c = GetParam();
    EXPECT_EQ(IsExcluded(c.path, c.extensions, c.folders), c.excluded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Exclusion,
    ::testing::Values(
        ExclusionCase{"no_lists", "/pics/a.bmp", {}, {}, false},
        ExclusionCase{"extension", "/pics/a.bmp", {"BMP"}, {}, true},
        ExclusionCase{"extension_any_case", "/pics/a.Bmp", {"bmp"}, {}, true},
        ExclusionCase{"extension_inside_path", "/pics/old.bmp.d/a.jpg", {"BMP"}, {}, true},
        ExclusionCase{"extension_prefix_of_longer", "/pics/a.bmpx", {"BMP"}, {}, true},
        ExclusionCase{"extension_needs_the_dot", "/pics/bmp/a.jpg", {"BMP"}, {}, false},
        ExclusionCase{"other_extension", "/pics/a.jpg", {"BMP", "GIF"}, {}, false},
        ExclusionCase{"empty_extension_matches_a_dot", "/pics/a.jpg", {""}, {}, true},
        ExclusionCase{"empty_extension_without_dot", "/pics/README", {""}, {}, false},
        ExclusionCase{"folder", "/Photos/Old/x.jpg", {}, {"/Photos/Old"}, true},
        ExclusionCase{"folder_prefix_of_sibling", "/Photos/Older/x.jpg", {}, {"/Photos/Old"}, true},
        ExclusionCase{"folder_any_case", "/photos/old/x.jpg", {}, {"/PHOTOS/OLD"}, true},
        ExclusionCase{"folder_elsewhere", "/Photos/New/x.jpg", {}, {"/Photos/Old"}, false},
        ExclusionCase{"empty_folder_entry_matches_all", "/a", {}, {""}, true},
        ExclusionCase{"non_ascii_case", "/Fotos/ÄRGER/x.jpg", {}, {"/fotos/ärger"}, true},
        ExclusionCase{"cyrillic_case", "/Фото/a.jpg", {}, {"/фото"}, true},
        ExclusionCase{"invalid_utf8_path", "/pics/\xff\xfe/a.JPG", {"jpg"}, {}, true},
        ExclusionCase{"invalid_utf8_entry", "/pics/\xff/a.jpg", {}, {"/PICS/\xff"}, true}),
    [](const auto& info) { return info.param.name; });

struct GroupCase {
    const char* name;
    std::int64_t value;
    const char* separator;
    const char* text;
};

class Grouping : public ::testing::TestWithParam<GroupCase> {};

TEST_P(Grouping, GroupsDigitsByThrees) {
    EXPECT_EQ(FormatGrouped(GetParam().value, GetParam().separator), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Grouping,
    ::testing::Values(GroupCase{"zero_shows_nothing", 0, ",", ""},
                      GroupCase{"one_digit", 7, ",", "7"}, GroupCase{"three", 999, ",", "999"},
                      GroupCase{"four", 1000, ",", "1,000"},
                      GroupCase{"million", 1234567, ",", "1,234,567"},
                      GroupCase{"beyond_nine_digits", 12345678901, ",", "12,345,678,901"},
                      GroupCase{"beyond_32_bits", 5000000000, ",", "5,000,000,000"},
                      GroupCase{"locale_separator", 1234567, ".", "1.234.567"},
                      GroupCase{"multibyte_separator", 1234567, "\u202f", "1\u202f234\u202f567"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace kovi
