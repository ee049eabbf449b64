// Names of parameterised tests taken from their rows: each row has a `label`, and the test
// is named after it with every character other than a letter or digit made '_'.
#pragma once

#include <cctype>
#include <string>

namespace test_support {

struct LabelName {
    template <typename ParamInfo>
    std::string operator()(const ParamInfo& info) const {
        std::string name = info.param.label;
        for (char& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    }
};

} // namespace test_support
