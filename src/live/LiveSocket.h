#pragma once

#include <QtGlobal>

// What the kernel holds of a connection: bytes written to the socket that the other end has
// not yet acknowledged. 0 when it cannot tell.
qint64 KernelUnsentBytes(qintptr descriptor);
