#pragma once

#include <QString>
#include <QStringList>

#include <optional>

inline constexpr char kClassListFile[] = "Klasse.txt";

// The design items of the class list, in force when no file replaces them.
QStringList DefaultClassList();

// Lines of "Klasse.txt" in the folder, UTF-8 when the file is valid UTF-8 and Windows-1252
// otherwise. Empty optional when the file is missing or cannot be read: keep the current list.
std::optional<QStringList> LoadClassList(const QString& folder);
