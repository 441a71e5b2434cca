#pragma once

#include <cctype>
#include <concepts>
#include <ostream>
#include <string>

namespace kovi::testing {

// Names each case of a parameterised test after its `name`, with every character GoogleTest
// does not allow in a test name made '_'.
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    }
};

} // namespace kovi::testing

namespace kovi {
namespace {

// Prints a case of a table by its name, so that a failure (and the test list) says which case
// it is rather than dumping the bytes of the row. Found by argument lookup for every case type
// declared in the test file's own unnamed namespace.
template <typename Case>
requires requires(const Case& c) {
    { c.name } -> std::convertible_to<std::string>;
}
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

} // namespace
} // namespace kovi
