#pragma once

#include "ComPort.h"

#include <QString>

// The latency above which times through an adapter are noticeably late.
constexpr int kHighLatencyMs = 2;

// What the operator must know about the barrier port, in German, one line per point; empty
// when all is well.
QString PortNoticeText(const TPortCondition& condition);
