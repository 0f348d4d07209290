#include "CallUp.h"

#include "protocol/ProtocolModel.h"
#include "race/HeatModel.h"

#include <algorithm>

QList<TCallUpPairing> LaneOrder(const THeatModel& heat, const TProtocolModel& protocol, int count) {
    int last = 0;
    for (int row = 1; row <= protocol.DataRowCount(); ++row)
        last = std::max(last, protocol.Cell(row, ColStartNr).trimmed().toInt());
    // The pairing in the lanes has run or runs once a heat has started since the reset.
    const bool lanesDone = !heat.StartOpen();
    int next[2] = {lanesDone ? heat.Lane(1).readyNumber : heat.Lane(1).startNumber,
                   lanesDone ? heat.Lane(2).readyNumber : heat.Lane(2).startNumber};
    int step = 0;
    QList<TCallUpPairing> order;
    while (order.size() < count && (next[0] <= last || next[1] <= last)) {
        TCallUpPairing pairing;
        for (int lane = 0; lane < 2; ++lane) {
            pairing.number[lane] = QString::number(next[lane]);
            pairing.name[lane] = protocol.RiderName(next[lane]);
        }
        order << pairing;
        // The lanes' start numbers, then their ready numbers, then on by 2.
        if (step++ == 0 && !lanesDone) {
            next[0] = heat.Lane(1).readyNumber;
            next[1] = heat.Lane(2).readyNumber;
        } else {
            next[0] += 2;
            next[1] += 2;
        }
    }
    return order;
}
