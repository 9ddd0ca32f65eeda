#include "util/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "report/messages.h"
#include "support/sanitizer.h"

namespace {


// A request no allocator can satisfy.
constexpr std::size_t kHuge = SIZE_MAX - 4096;

int failures = 0;
void countFailure() { ++failures; }

class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = memoryFailureHandler();
        failures = 0;
        setMemoryFailureHandler(countFailure);
    }
    void TearDown() override { setMemoryFailureHandler(saved); }
    MemoryFailureHandler saved = nullptr;
};

TEST_F(MemoryTest, BlocksAreZeroedResizedAndCopied) {
    auto* block = static_cast<unsigned char*>(allocZeroed(4096));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    std::memcpy(block, "abc", 4);
    block = static_cast<unsigned char*>(reallocChecked(block, 100000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(reinterpret_cast<char*>(block), "abc");
    freeMemory(block);
    freeMemory(reallocChecked(nullptr, 4));
    freeMemory(allocZeroed(0));
    freeMemory(nullptr);
    EXPECT_EQ(duplicateString(nullptr), nullptr);
    const char* original = "fixedP S 16:8";
    char* copy = duplicateString(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_STREQ(copy, original);
    freeMemory(copy);
    EXPECT_EQ(failures, 0);
}

TEST_F(MemoryTest, FailureCallsTheRegisteredRoutineAndReturnsNull) {
    if (tb::kAddressSanitizer) GTEST_SKIP() << "the sanitizer allocator aborts instead";
    EXPECT_EQ(allocZeroed(kHuge), nullptr);
    EXPECT_EQ(failures, 1);

    char* block = static_cast<char*>(allocZeroed(8));
    ASSERT_NE(block, nullptr);
    block[0] = 'k';
    EXPECT_EQ(reallocChecked(block, kHuge), nullptr);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(block[0], 'k');  // the old block survives a failed resize
    freeMemory(block);

    setMemoryFailureHandler(nullptr);
    EXPECT_EQ(allocZeroed(kHuge), nullptr);  // no routine: just null
    EXPECT_EQ(failures, 2);
}

}  // namespace
