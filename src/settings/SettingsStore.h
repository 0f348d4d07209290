#pragma once

#include "race/RaceSettings.h"

#include <QList>
#include <QRect>
#include <QSettings>
#include <QString>

#include <optional>

// The store lives at QSettings(kSettingsOrganization, ProgramTitle()): the registry on
// Windows, an INI file in the user's configuration folder on Linux.
inline constexpr char kSettingsOrganization[] = "Tempiqo";

// The value of the minimum time, written after the original 22.
inline constexpr char kMinTimeValue[] = "MinTime";

inline constexpr int kMinWindowWidth = 792;
inline constexpr int kMinWindowHeight = 488;

// The main window's outer bounds as stored. Left and Top are the design position and only
// count when HasPosition: otherwise the system places the window.
struct TWindowBounds {
    int Left = 438;
    int Top = 325;
    int Width = 800;
    int Height = 572;
    bool HasPosition = false;
};

// Geometry of every screen, in the system's order.
QList<QRect> PresentScreens();

// Reads the 22 values in their fixed order; the first missing or mistyped value ends the
// reading and everything after it keeps its default. The minimum time, LiveResults, LivePort,
// SlipPrint, SlipPrinter and SlipPaper follow, each read on its own. Monitor is then clamped
// to the screens, and a position that would put the window where nobody can see it is dropped.
void LoadSettings(QSettings& store, TRaceSettings& settings, TWindowBounds& bounds,
                  const QList<QRect>& screens);

// Why the store could not be written, in a few German words ("keine Berechtigung"); empty when
// it can. Writes nothing.
QString SettingsWriteProblem(const QSettings& store);

// Writes the 22 values in their fixed order, then the minimum time, LiveResults, LivePort,
// SlipPrint, SlipPrinter and SlipPaper. On failure returns the message to show ("Failed to set
// data for '<first value not written>'"); nothing is then saved.
std::optional<QString> SaveSettings(QSettings& store, const TRaceSettings& settings,
                                    const TWindowBounds& bounds);
