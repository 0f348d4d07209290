#pragma once

#include <QObject>

#include <QString>

#include <functional>
#include <map>
#include <vector>

// Every test class of a program registers itself; the shared main runs them all.
std::vector<std::function<QObject*()>>& TestClasses();

// Empties the test's settings, data and program folders: the next window starts as on a
// machine that never ran the program.
void FreshStart();

#define RENNUHR_TEST(Class)                                                                        \
    static const bool Class##Registered = [] {                                                     \
        TestClasses().push_back([] { return new Class; });                                         \
        return true;                                                                               \
    }()

// What the test program does when a test starts it again as a child process: the role named
// in the environment variable RENNUHR_TEST_CHILD runs instead of the tests, with a fresh
// sandbox of its own, and its result is the exit code.
std::map<QString, std::function<int()>>& ChildRoles();

#define RENNUHR_CHILD_ROLE(function)                                                               \
    static const bool function##Role = [] {                                                        \
        ChildRoles()[QStringLiteral(#function)] = function;                                        \
        return true;                                                                               \
    }()
