#include "TestMain.h"

#include "RunSandbox.h"

#ifdef RENNUHR_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
// The rules' tests: actions and timers, no widgets.
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTest>

#include <memory>

std::vector<std::function<QObject*()>>& TestClasses() {
    static std::vector<std::function<QObject*()>> classes;
    return classes;
}

std::map<QString, std::function<int()>>& ChildRoles() {
    static std::map<QString, std::function<int()>> roles;
    return roles;
}

namespace {
QString& Sandbox() {
    static QString folder;
    return folder;
}
} // namespace

void FreshStart() {
    QDir sandbox(Sandbox());
    for (const QString& entry : sandbox.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QFileInfo(sandbox.filePath(entry)).isDir()
            ? QDir(sandbox.filePath(entry)).removeRecursively()
            : sandbox.remove(entry);
    QDir().mkpath(Sandbox() + "/program");
}

int main(int argc, char* argv[]) {
    // Settings, data and the program folder live in a folder of the test's own, so that no
    // run sees what another one stored.
    RunSandbox sandbox;
    Sandbox() = sandbox.Path();
    TestApplication app(argc, argv);
    sandbox.UseProgramFolder();
    FreshStart();
    // The operator's machine runs German regional settings: decimal comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (const QString role = qEnvironmentVariable("RENNUHR_TEST_CHILD"); !role.isEmpty()) {
        const auto found = ChildRoles().find(role);
        return found == ChildRoles().end() ? 2 : found->second();
    }
    int failures = 0;
    for (const auto& make : TestClasses()) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures ? 1 : 0;
}
