#pragma once

#include "serial/ComPort.h"

#include <QObject>

class TBarrierInputs;
struct Race;

// The serial port the start contact and the light barriers are wired to. It opens and closes
// the port with the settings the wiring needs, hands each line change to the barrier inputs
// and, while the operator tests the lines, only lets the inputs follow the levels.
class TBarrierPort : public QObject {
    Q_OBJECT
public:
    // devices: where serial devices come from, the system's unless a test says otherwise.
    TBarrierPort(Race& race, TBarrierInputs& inputs, TSerialDeviceFactory devices,
                 QObject* parent = nullptr);

    TComPort* Port() const { return ComPort; }
    // Closes the port and opens port n (0: none). A port that cannot be opened leaves the heats
    // to be run by hand; Notice() says why where it can.
    void Open(int port);
    // What the operator must know about port n, empty when there is nothing.
    QString Notice(int port) const;
    // While the line test runs, the lines start and stop nothing.
    void SetLineTest(bool running) { lineTest_ = running; }
    bool LineTest() const { return lineTest_; }
    // An imitation button (1 start contact, 2 lane 1, 3 lane 2) with the lines as they read now.
    void Imitate(int tag);

    TComPort* ComPort;

private:
    TBarrierInputs& inputs_;
    bool lineTest_ = false;
};
