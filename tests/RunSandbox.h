#pragma once

#include "base/Program.h"

#include <QDir>
#include <QTemporaryDir>

// Settings, data and program folders of the run's own, so that a program outside the test
// suite reads and writes nothing of the operator's. Made before the application object.
class RunSandbox {
public:
    RunSandbox() {
        qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (dir_.path() + "/data").toUtf8());
    }
    QString Path() const { return dir_.path(); }
    // Once the application object exists.
    void UseProgramFolder() {
        QDir().mkpath(dir_.path() + "/program");
        OverrideProgramFolder(dir_.path() + "/program");
    }

private:
    QTemporaryDir dir_;
};
