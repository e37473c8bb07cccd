#pragma once

// Names the rows of table-driven tests after their own `name`.
#include <gtest/gtest.h>

#include <string>

namespace tolvenix::testing_support {

// Names each row of a table-driven test after the row's `name` member.
struct case_name {
    template <typename row>
    std::string operator()(const testing::TestParamInfo<row>& row_info) const {
        return row_info.param.name;
    }
};

}  // namespace tolvenix::testing_support
