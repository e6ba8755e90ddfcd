// Tests that run once for each width of vector instructions the searches may
// use, so that every path is checked on a processor that has them all.
#pragma once

#include "talvo-grep/vector_level.h"

#include <gtest/gtest.h>

namespace talvo::test {

class EveryVectorLevel : public ::testing::TestWithParam<grep::VectorLevel> {
protected:
    void SetUp() override { grep::capVectorLevel(GetParam()); }
    void TearDown() override { grep::capVectorLevel(grep::VectorLevel::Avx512); }
};

inline std::string vectorLevelName(const ::testing::TestParamInfo<grep::VectorLevel>& info) {
    switch (info.param) {
    case grep::VectorLevel::Scalar:
        return "Scalar";
    case grep::VectorLevel::Sse:
        return "Sse";
    case grep::VectorLevel::Avx2:
        return "Avx2";
    case grep::VectorLevel::Avx512:
        return "Avx512";
    }
    return "Unknown";
}

} // namespace talvo::test

// One instantiation of the suite Fixture for each level.
#define TALVO_AT_EVERY_VECTOR_LEVEL(Fixture)                                                       \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        EveryLevel, Fixture,                                                                       \
        ::testing::Values(talvo::grep::VectorLevel::Scalar, talvo::grep::VectorLevel::Sse,         \
                          talvo::grep::VectorLevel::Avx2, talvo::grep::VectorLevel::Avx512),       \
        talvo::test::vectorLevelName)
