#pragma once

#include <cctype>
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
