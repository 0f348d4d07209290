#pragma once

#include "LaneResult.h"

#include <QString>

// Where a lane timer puts its results: the protocol rows keyed by start number.
class HeatProtocol {
public:
    virtual ~HeatProtocol() = default;
    // The row of a start number, created if needed, result cells emptied, selected.
    virtual void PrepareHeatRow(const QString& startNumber) = 0;
    // The lane's texts into the row of its start number; nothing when no row carries it.
    virtual void WriteLaneResult(const QString& startNumber, const LaneResult& result) = 0;
};
