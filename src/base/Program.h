#pragma once

#include <QString>

// The program title is the running executable's name: a copy renamed to "Heat" is "Heat"
// everywhere (caption, backup file, settings key).
QString ProgramTitle();
// Folder of the executable.
QString ProgramFolder();

// Where an installed program keeps its read-only files (sounds, help, document template):
// share/rennuhr beside the bin folder of the executable.
QString InstalledFilesFolder();
// A read-only file of the program: beside the executable (a build folder), else the installed
// copy. When neither exists, the path beside the executable.
QString ProgramFile(const QString& name);

// The program's own folder as a place to write in: none when the program is installed, as a
// system folder is no place for a backup even where root could write it.
QString ProgramWriteFolder();
// Folder for the files the program writes (backup, journal): the program folder while it can be
// written, else the data folder, which is created when missing.
QString WritableFolder(const QString& programFolder, const QString& dataFolder);
// The user's data folder: ~/.local/share/<program title>.
QString UserDataFolder();

// Tests run the program against a folder of their own.
void OverrideProgramFolder(const QString& folder);
