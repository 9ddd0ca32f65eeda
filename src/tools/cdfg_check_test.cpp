#include "tools/cdfg_check.h"

#include <gtest/gtest.h>

#include "support/cdfg_files.h"

namespace {

using tooltest::assemble;

std::vector<std::string> faultsOf(const std::string& bytes) { return checkRecords(parseRecords(bytes)); }

// Each fault class, in a file made for it.
TEST(CdfgCheck, FindsEachFaultClass) {
    struct Case {
        const char* name;
        std::string text;
        std::string fault;
    };
    const Case cases[] = {
        {"missing NextId", "node CFG_ROOT next 5", "node 1 (CFG_ROOT, byte 0): NextId 5 names no node"},
        {"missing PrevId", "node CFG_ROOT prev 5", "PrevId 5 names no node"},
        {"missing JumpId", "node CFG_STATE_IF jump 7", "node 1 (CFG_STATE_IF, byte 0): JumpId 7 names no node"},
        {"missing attribute target", "node CFG_ROOT\n  CfgRoot_ELEMENT @9",
         "CfgRoot_ELEMENT names node 9, which does not exist"},
        {"duplicate id", "node 1 CFG_ROOT\nnode 1 CFG_FILEINFO", "node 1 (CFG_FILEINFO, byte 34): duplicate id"},
        {"duplicate id further on", "node 1 CFG_ROOT\nnode 2 CFG_FILEINFO\nnode 1 CFG_RETURN", "node 1 (CFG_RETURN, byte 68): duplicate id"},
        {"decreasing id", "node 5 CFG_ROOT\nnode 2 CFG_FILEINFO",
         "node 2 (CFG_FILEINFO, byte 34): decreasing id: the record before has id 5"},
        {"id 0", "node 0 CFG_ROOT", "id 0 stands for 'no node'"},
        {"NextId without PrevId", "node CFG_RETURN next 2\nnode CFG_RETURN prev 0",
         "node 1 (CFG_RETURN, byte 0): NextId is 2, but node 2 has PrevId 0"},
        {"PrevId without link", "node CFG_RETURN\nnode CFG_RETURN prev 1",
         "node 2 (CFG_RETURN, byte 34): PrevId is 1, but node 1 neither has NextId 2 nor holds it"},
        {"NextId loop", "node CFG_RETURN next 3\nnode CFG_RETURN next 1\nnode CFG_RETURN next 2",
         "NextId chain loops: 1 -> 3 -> 2 -> 1"},
        {"PrevId loop", "node CFG_RETURN prev 2\nnode CFG_RETURN prev 1", "PrevId chain loops: 1 -> 2 -> 1"},
        {"attribute twice", "node CFG_ROOT\n  CfgRoot_LANG 1\n  CfgRoot_LANG 2",
         "CfgRoot_LANG is listed 2 times; a reader keeps only one"},
        {"value kind without value", "node CFG_ROOT\n  CfgRoot_LANG ATTR_9",
         "CfgRoot_LANG has value kind 9, which carries no value"},
        {"negative count", "node CFG_ROOT count -3", "negative attribute count -3"},
        {"owned cycle",
         "node DFG_OPERATION prev 0\n  DfgOpe_LEFT @2\nnode DFG_OPERATION prev 0\n  DfgOpe_LEFT @1",
         "the graph cannot be walked: node 1 is part of a cycle of owned nodes"},
        {"truncated record", "node CFG_ROOT\nbytes 00 00 00 02 00 00", "byte 34: the file ends inside a record (6 of its bytes are present)"},
    };
    for (const Case& c : cases) {
        const std::string faults = tooltest::joinLines(faultsOf(assemble(c.text)));
        EXPECT_NE(faults.find(c.fault), std::string::npos) << c.name << ":\n" << faults;
    }
}

// One line per fault: a loop is reported once, not at each of its nodes.
TEST(CdfgCheck, ReportsALoopOnce) {
    const auto faults = faultsOf(assemble("node CFG_RETURN next 2 prev 2\nnode CFG_RETURN next 1 prev 1"));
    EXPECT_EQ(tooltest::joinLines(faults),
              "node 1 (CFG_RETURN, byte 0): NextId chain loops: 1 -> 2 -> 1\n"
              "node 1 (CFG_RETURN, byte 0): PrevId chain loops: 1 -> 2 -> 1\n");
}

}  // namespace
