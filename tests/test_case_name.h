#pragma once
// Names the cases of a parameterised test after their `name` field, in the letters, digits and
// underscores GoogleTest accepts, so a failure says which row of the table broke.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        }
        return name;
    }
};
