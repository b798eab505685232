#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace tavro::testing {

// Names a parameterised case after its `name` field.
struct CaseName {
    template <typename P>
    std::string operator()(const ::testing::TestParamInfo<P>& param) const {
        return param.param.name;
    }
};

// Unnamed on purpose: the case structs live in each test file's unnamed
// namespace, and only a PrintTo declared there is found for them. Without it
// GoogleTest prints a case as raw bytes, padding included, which memcheck
// reports as a read of uninitialised memory.
namespace {

template <typename Case>
requires requires(const Case& c) {
    std::string_view(c.name);
}
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

}  // namespace

}  // namespace tavro::testing
