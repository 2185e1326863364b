#pragma once

#include <gtest/gtest.h>
#include <string>

// Names a parameterised test row after its Name member.
struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.Name;
    }
};
