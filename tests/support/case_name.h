#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tavro::testing {

// Names a parameterised case after its `name` field.
struct CaseName {
    template <typename P>
    std::string operator()(const ::testing::TestParamInfo<P>& param) const {
        return param.param.name;
    }
};

}  // namespace tavro::testing
