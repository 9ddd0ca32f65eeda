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

TEST_F(MemoryTest, AllocZeroedFillsWithZeroes) {
    for (std::size_t size : {std::size_t{1}, std::size_t{17}, std::size_t{4096}}) {
        auto* block = static_cast<unsigned char*>(allocZeroed(size));
        ASSERT_NE(block, nullptr);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << size << " at " << i;
        freeMemory(block);
    }
    void* empty = allocZeroed(0);
    freeMemory(empty);
    EXPECT_EQ(failures, 0);
}

TEST_F(MemoryTest, ReallocKeepsContentAndAcceptsNull) {
    auto* block = static_cast<char*>(reallocChecked(nullptr, 4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char*>(reallocChecked(block, 100000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    freeMemory(block);
    freeMemory(nullptr);
    EXPECT_EQ(failures, 0);
}

TEST_F(MemoryTest, DuplicateStringCopiesAndNullIsNoFailure) {
    EXPECT_EQ(duplicateString(nullptr), nullptr);
    const char* original = "fixedP S 16:8";
    char* copy = duplicateString(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_STREQ(copy, original);
    freeMemory(copy);
    char* empty = duplicateString("");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    freeMemory(empty);
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
