#pragma once

#include <QObject>

#include <functional>
#include <vector>

// Every test class of a program registers itself; the shared main runs them all.
std::vector<std::function<QObject*()>>& TestClasses();

#define RENNUHR_TEST(Class)                                                                        \
    static const bool Class##Registered = [] {                                                     \
        TestClasses().push_back([] { return new Class; });                                         \
        return true;                                                                               \
    }()
