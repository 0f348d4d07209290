#pragma once

#include <QString>

// The program title is the running executable's name: a copy renamed to "Heat" is "Heat"
// everywhere (caption, backup file, settings key).
QString ProgramTitle();
// Folder of the executable: sounds, backup and help live beside it.
QString ProgramFolder();

// Tests run the program against a folder of their own.
void OverrideProgramFolder(const QString& folder);
