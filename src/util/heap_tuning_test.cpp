#include "util/heap_tuning.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/binary_run.h"
#include "support/sanitizer.h"

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

// env stands in for the program: it prints the environment it starts with.
TEST(HeapTuning, TheProgramStartsAgainUnderTheTunablesOrGoesOnAsItWas) {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    const std::string thp((std::istreambuf_iterator<char>(setting)), std::istreambuf_iterator<char>());
    const char* current = std::getenv("GLIBC_TUNABLES");
    const std::string tunables = hugePageHeapTunables(current, thp);
    const std::string before = current ? current : "(unset)";
    char env[] = "env";
    char* argv[] = {env, nullptr};
    auto goOn = [] {
        const char* now = std::getenv("GLIBC_TUNABLES");
        std::printf("went on with %s\n", now ? now : "(unset)");
    };
    tb::Outcome o = tb::runInChild([&] {
        restartWithHugePageHeaps(argv, "/usr/bin/env");
        goOn();
    });
    if (tunables.empty() || tb::kAddressSanitizer || tb::kThreadSanitizer)
        EXPECT_EQ(o.out, "went on with " + before + "\n");
    else
        EXPECT_NE(("\n" + o.out).find("\nGLIBC_TUNABLES=" + tunables + "\n"), std::string::npos) << o.out;
    o = tb::runInChild([&] {
        restartWithHugePageHeaps(argv, "/nonexistent/program");
        goOn();
    });
    EXPECT_EQ(o.out, "went on with " + before + "\n");
}

}  // namespace
