#pragma once

#include <QString>

// The heat's commands, as the journal names them.
enum class TRaceCommand { Start, Stop, FalseStart, Reset };

// Who gave a command.
enum class TCommandSource { Key, Button, Barrier, Imitation, Timer, Menu, Startup };

// "START", "STOPP", "FEHLSTART", "ZURÜCKSETZEN".
QString RaceCommandName(TRaceCommand command);
// "Taste", "Knopf", "Lichtschranke", "Imitation", "Timer", "Menü", "Programmstart".
QString CommandSourceName(TCommandSource source);
