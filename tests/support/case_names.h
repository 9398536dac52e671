#pragma once

// Names for parameterised cases, so that a failure names its case ("Type16", "Code9") instead of
// an index and a byte dump of the parameter.

#include <string>
#include <string_view>

namespace orv::test {

// The characters a test name may hold: letters and digits kept, every run of others one '_'.
inline std::string CaseName(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain) {
            name += c;
        } else if (name.empty() || name.back() != '_') {
            name += '_';
        }
    }
    return name;
}

// A name generator for INSTANTIATE_TEST_SUITE_P from a function of the parameter.
template <class F> auto NamedBy(F name) {
    return [name](const auto& info) { return CaseName(name(info.param)); };
}

// The same with the case's number after it, where two cases may share a name.
template <class F> auto NumberedBy(F name) {
    return [name](const auto& info) { return CaseName(name(info.param)) + "_" + std::to_string(info.index); };
}

} // namespace orv::test
