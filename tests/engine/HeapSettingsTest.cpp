// The heap's huge pages are added to what the user already tells glibc, never in place of it.
#include <gtest/gtest.h>

#include "engine/VipsRuntime.h"

namespace kovi {
namespace {

struct TunablesCase {
    const char* given;
    std::optional<std::string> expected;
};

class HugePagesTunable : public testing::TestWithParam<TunablesCase> {};

TEST_P(HugePagesTunable, AddsOnlyWhatTheUserLeftOpen) {
    EXPECT_EQ(TunablesWithHugePages(GetParam().given), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, HugePagesTunable,
    testing::Values(TunablesCase{nullptr, "glibc.malloc.hugetlb=1"},
                    TunablesCase{"", "glibc.malloc.hugetlb=1"},
                    TunablesCase{"glibc.malloc.arena_max=2",
                                 "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
                    TunablesCase{"glibc.malloc.hugetlb=0", std::nullopt},
                    TunablesCase{"glibc.malloc.check=3:glibc.malloc.hugetlb=2", std::nullopt}));

} // namespace
} // namespace kovi
