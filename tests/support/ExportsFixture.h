#pragma once
// A fresh load of the built module whose exports the test calls by name, in the
// code page that the ctest run asked for (TOLLTONE_EXPECT_ACP), checked first.
#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tolltone::fakes {

class ExportsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_) << "Tolltone.dll beside the tests";
        if (const char* expected = std::getenv("TOLLTONE_EXPECT_ACP")) {
            ASSERT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected))) << "the run's code page";
        }
    }
    template <class Function>
    Function Get(const char* name) {
        const auto f = Entry<Function>(module_.Get(), name);
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    static bool Cp932() { return ::GetACP() == 932; }

    UniqueModule module_ = LoadTolltone();
};

} // namespace tolltone::fakes
