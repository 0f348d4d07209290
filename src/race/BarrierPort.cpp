#include "BarrierPort.h"

#include "BarrierInputs.h"
#include "Race.h"
#include "serial/PortNotice.h"

TBarrierPort::TBarrierPort(Race& race, TBarrierInputs& inputs, TSerialDeviceFactory devices,
                           QObject* parent)
    : QObject(parent), ComPort(new TComPort(race.HighResTimer1, this)), inputs_(inputs) {
    ComPort->SetDeviceFactory(std::move(devices));
    // The wiring needs DTR and RTS on; nothing is ever sent or received.
    ComPort->SetPort(0);
    ComPort->SetBaudRate(br9600);
    ComPort->SetBaudRateUser(28800);
    ComPort->SetFlowControl(fcRtsCts);
    ComPort->SetDataBits(5);
    ComPort->SetEvents(TEvents(evCTS | evDSR | evRLSD));
    ComPort->SetEnableDTR(true);
    ComPort->SetWriteBufSize(64);
    ComPort->SetReadBufSize(64);
    // The instant and the levels were read by the port's wait thread when the line changed.
    connect(ComPort, &TComPort::OnCTS, this, [this](TComPort* sender) {
        lineTest_ ? inputs_.FollowLevels(sender->LastEvent())
                  : inputs_.ComPortStart(sender->LastEvent());
    });
    for (const quint32 line : {kModemDSR, kModemRLSD})
        connect(ComPort, line == kModemDSR ? &TComPort::OnDSR : &TComPort::OnRLSD, this,
                [this, line](TComPort* sender) {
                    lineTest_ ? inputs_.FollowLevels(sender->LastEvent())
                              : inputs_.ComPortStop(sender->LastEvent(), line);
                });
    connect(ComPort, &TComPort::OnOpen, this,
            [this](TComPort* sender) { inputs_.ComPortOpen(sender->OpenStatus()); });
    connect(ComPort, &TComPort::OnClose, &inputs, &TBarrierInputs::ComPortClose);
}

void TBarrierPort::Open(int port) {
    ComPort->Close();
    ComPort->SetPort(quint8(port));
    if (port == 0) return;
    try {
        ComPort->Open();
    } catch (const EComError&) {
        // No box: the operator runs the heats by hand.
    }
}

QString TBarrierPort::Notice(int port) const {
    const TPortCondition& condition = ComPort->Condition();
    return port != 0 && condition.port == port ? PortNoticeText(condition) : QString();
}

void TBarrierPort::Imitate(int tag) {
    inputs_.bImit1Click(tag, ComPort->ModemStatus());
}
