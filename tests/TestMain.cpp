#include "TestMain.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

#include <memory>

std::vector<std::function<QObject*()>>& TestClasses() {
    static std::vector<std::function<QObject*()>> classes;
    return classes;
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The operator's machine runs German regional settings: decimal comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    int failures = 0;
    for (const auto& make : TestClasses()) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures ? 1 : 0;
}
