#pragma once

// Protocol columns: 0 … 5 participant data, 6 … 10 heat results.
enum ProtocolColumn {
    ColStartNr = 0,
    ColName = 1,
    ColFirstName = 2,
    ColVehicle = 3,
    ColEngine = 4,
    ColClass = 5,
    ColReaction = 6,
    ColIntermediate = 7,
    ColSpeed = 8,
    ColTime = 9,
    ColWin = 10,
};
constexpr int kProtocolColumns = 11;
constexpr int kFirstResultColumn = ColReaction;

// Background of a "Zeit" cell whose time looks wrong.
constexpr unsigned kMarkColor = 0xFFB040;
