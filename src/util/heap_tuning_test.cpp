#include "util/heap_tuning.h"

#include <gtest/gtest.h>

namespace {

TEST(HeapTuning, TunablesAddedOnlyWhereHugePagesComeOnRequestAndNothingIsSetYet) {
    const std::string ours = "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864";
    const char* const madvise = "always [madvise] never\n";
    const struct {
        const char* current;
        const char* thp;
        std::string expected;
    } cases[] = {
        {nullptr, madvise, ours},
        {"", madvise, ours},
        {"glibc.malloc.check=3", madvise, "glibc.malloc.check=3:" + ours},
        // The user's own say on the heaps stands, and a started run is not started again.
        {"glibc.malloc.hugetlb=0", madvise, ""},
        {"glibc.malloc.top_pad=4096", madvise, ""},
        {ours.c_str(), madvise, ""},
        {nullptr, "[always] madvise never\n", ""},
        {nullptr, "always madvise [never]\n", ""},
        {nullptr, "", ""},  // no such setting
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.current ? c.current : "(unset)") + " / " + c.thp);
        EXPECT_EQ(hugePageHeapTunables(c.current, c.thp), c.expected);
    }
}

}  // namespace
