#pragma once

#include <QObject>

#include <functional>
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
