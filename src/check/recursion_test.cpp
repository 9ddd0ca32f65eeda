#include "check/recursion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "check/function_tree.h"
#include "util/run_settings.h"
#include "report/messages.h"
#include "support/graph_builder.h"

namespace {

using tb::Type;

std::string recursive(const std::string& name, int line, const std::string& file = "a.c") {
    return "E506:Error:" + file + ":" + std::to_string(line) + ":Function '" + name +
           "' is a recursive call. It is outside support.\n";
}

// A program whose functions call each other as given: calls[i] lists the
// functions that function i calls, in order. Function i is named fi and is
// defined on line 10 + i. main marks the functions in `modules` as modules.
class CallProgram {
public:
    CallProgram(const std::vector<std::vector<int>>& calls, const std::vector<int>& modules,
                const std::string& prefix = "") {
        b.file("a.c");
        main = b.at(1).function("main");
        for (std::size_t i = 0; i < calls.size(); ++i)
            fns.push_back(b.at(static_cast<std::uint32_t>(10 + i)).function("f" + std::to_string(i)));
        for (std::size_t i = 0; i < calls.size(); ++i) {
            std::vector<NodeId> body;
            for (int c : calls[i]) body.push_back(b.stmt(b.call(fns[c])));
            b.body(fns[i], body);
        }
        std::vector<NodeId> mainBody;
        std::string directive = prefix.empty() ? "module" : "module prefix=" + prefix;
        for (int m : modules) mainBody.push_back(b.stmt(b.call(fns[m], {}, {directive})));
        b.body(main, mainBody);
    }

    // Builds the tree and runs the check; returns the messages.
    std::string run(int* result = nullptr) {
        releaseModuleList();
        initMessages(1, programCatalogue());
        std::string out;
        setMessageCapture(&out);
        EXPECT_EQ(buildFunctionTree(b.graph()), 0);
        int r = checkRecursion(b.graph());
        setMessageCapture(nullptr);
        if (result) *result = r;
        releaseModuleList();
        return out;
    }

    tb::GraphBuilder b;
    NodeId main = 0;
    std::vector<NodeId> fns;
};

TEST(Recursion, ReportsOncePerCallPath) {
    struct Case {
        const char* what;
        std::vector<std::vector<int>> calls;
        std::vector<int> modules;
        std::string expected;
    };
    const Case cases[] = {
        {"no recursion", {{1, 2}, {2}, {}}, {0}, ""},
        {"module calls itself", {{0}}, {0}, recursive("f0", 10)},
        {"f called twice calls itself", {{1, 1}, {1}}, {0}, recursive("f1", 11) + recursive("f1", 11)},
        {"cycle closed on each path", {{1, 2}, {2}, {1}}, {0}, recursive("f1", 11) + recursive("f2", 12)},
        {"cycle below, entered twice", {{1, 1}, {2}, {3}, {2}}, {0}, recursive("f2", 12) + recursive("f2", 12)},
        // f2 is found later, heads the module list and is walked first.
        {"two modules", {{2}, {}, {2}}, {0, 2}, recursive("f2", 12) + recursive("f2", 12)},
    };
    for (const Case& c : cases) {
        CallProgram p(c.calls, c.modules);
        int result = 0;
        EXPECT_EQ(p.run(&result), c.expected) << c.what;
        EXPECT_EQ(result != 0, !c.expected.empty()) << c.what;
    }
}

TEST(Recursion, ArgumentsAreWalkedBeforeTheCall) {
    CallProgram p({{}, {1}, {2}}, {});
    // main marks f0 as a module; f0 calls f1(f2()).
    p.b.body(p.fns[0], {p.b.stmt(p.b.call(p.fns[1], {p.b.call(p.fns[2])}))});
    p.b.body(p.main, {p.b.stmt(p.b.call(p.fns[0], {}, {"module"}))});
    EXPECT_EQ(p.run(), recursive("f2", 12) + recursive("f1", 11));
}

TEST(Recursion, ModulesWithPrefixAreCheckedOnTheirClones) {
    CallProgram p({{1}, {1}}, {0}, "m");
    EXPECT_EQ(p.run(), recursive("m_f1", 11));
}

// The check must give exactly the reports of a plain expansion of every call
// path, whatever the shape of the call graph.
TEST(Recursion, MatchesPlainPathExpansionOnRandomCallGraphs) {
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (int round = 0; round < 300; ++round) {
        const int n = 2 + static_cast<int>(next(6));
        std::vector<std::vector<int>> calls(n);
        for (auto& list : calls) {
            int count = static_cast<int>(next(4));
            for (int k = 0; k < count; ++k) list.push_back(static_cast<int>(next(n)));
        }
        std::vector<int> modules{0};
        if (next(2)) modules.push_back(1 + static_cast<int>(next(n - 1)));

        // Modules are walked newest first.
        std::string expected;
        std::vector<int> stack;
        std::function<void(int)> expand = [&](int f) {
            stack.push_back(f);
            for (int c : calls[f]) {
                if (std::find(stack.begin(), stack.end(), c) != stack.end())
                    expected += recursive("f" + std::to_string(c), 10 + c);
                else
                    expand(c);
            }
            stack.pop_back();
        };
        for (auto it = modules.rbegin(); it != modules.rend(); ++it) expand(*it);

        CallProgram p(calls, modules);
        ASSERT_EQ(p.run(), expected) << "round " << round;
    }
}

// Call paths multiply in a ladder of functions that each call the next one
// twice: without recursion the check does not expand them one by one.
TEST(Recursion, ManyCallPathsWithoutRecursionStayCheap) {
    const int levels = 40;
    std::vector<std::vector<int>> calls(levels);
    for (int i = 0; i + 1 < levels; ++i) calls[i] = {i + 1, i + 1};
    CallProgram p(calls, {0});
    int result = -1;
    EXPECT_EQ(p.run(&result), "");
    EXPECT_EQ(result, 0);
}

}  // namespace
