#include "RaceCommand.h"

QString RaceCommandName(TRaceCommand command) {
    switch (command) {
    case TRaceCommand::Start:
        return QStringLiteral("START");
    case TRaceCommand::Stop:
        return QStringLiteral("STOPP");
    case TRaceCommand::FalseStart:
        return QStringLiteral("FEHLSTART");
    case TRaceCommand::Reset:
        return QStringLiteral("ZURÜCKSETZEN");
    }
    return {};
}

QString CommandSourceName(TCommandSource source) {
    switch (source) {
    case TCommandSource::Key:
        return QStringLiteral("Taste");
    case TCommandSource::Button:
        return QStringLiteral("Knopf");
    case TCommandSource::Barrier:
        return QStringLiteral("Lichtschranke");
    case TCommandSource::Imitation:
        return QStringLiteral("Imitation");
    case TCommandSource::Timer:
        return QStringLiteral("Timer");
    case TCommandSource::Menu:
        return QStringLiteral("Menü");
    case TCommandSource::Startup:
        return QStringLiteral("Programmstart");
    }
    return {};
}
