#include <gtest/gtest.h>

#include "programs/failure.hpp"

namespace tess {
namespace {

TEST(Failure, ExitStatusIsTheMessageLengthButNeverZero)
{
    const struct {
        std::size_t length;
        int status;
    } cases[] = {{1, 1}, {30, 30}, {255, 255}, {256, 1}, {257, 1}, {300, 44}, {512, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(Failure(std::string(c.length, 'x')).exit_status(), c.status) << c.length;
    }
}

TEST(Failure, FailFormatsItsMessage)
{
    try {
        fail("Error: file %s doesn't exist\n", "hero.til");
        FAIL() << "fail returned";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "Error: file hero.til doesn't exist\n");
        EXPECT_EQ(failure.exit_status(), 35);
    }
}

}  // namespace
}  // namespace tess
