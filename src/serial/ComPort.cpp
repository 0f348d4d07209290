#include "ComPort.h"

#include "ComThread.h"

#include <cerrno>

quint32 EventMask(TEvents events) {
    static constexpr struct {
        TEvent event;
        quint32 mask;
    } bits[] = {{evRxChar, 0x0001}, {evTxEmpty, 0x0004}, {evRxFlag, 0x0002},
                {evRing, 0x0100},   {evBreak, 0x0040},   {evCTS, 0x0008},
                {evDSR, 0x0010},    {evError, 0x0080},   {evRLSD, 0x0020}};
    quint32 mask = 0;
    for (const auto& bit : bits)
        if (events.testFlag(bit.event)) mask |= bit.mask;
    return mask;
}

quint32 WatchedLines(TEvents events) {
    quint32 lines = 0;
    if (events.testFlag(evCTS)) lines |= kModemCTS;
    if (events.testFlag(evDSR)) lines |= kModemDSR;
    if (events.testFlag(evRing)) lines |= kModemRing;
    if (events.testFlag(evRLSD)) lines |= kModemRLSD;
    return lines;
}

TComPort::TComPort(const THighResTimer& timeBase, QObject* parent)
    : QObject(parent), timeBase_(timeBase), factory_(CreateSystemSerialDevice) {}

TComPort::~TComPort() {
    Shutdown();
}

void TComPort::SetDataBits(quint8 bits) {
    dataBits_ = qBound<quint8>(5, bits, 8);
}

TSerialConfig TComPort::Config() const {
    TSerialConfig config;
    config.baudRate = BaudRateValue(baudRate_, baudRateUser_);
    config.dataBits = dataBits_;
    config.parity = parity_;
    config.stopBits = stopBits_;
    config.flowControl = flowControl_;
    config.enableDTR = enableDTR_;
    config.readBufSize = readBufSize_;
    config.writeBufSize = writeBufSize_;
    return config;
}

void TComPort::SetDeviceFactory(TSerialDeviceFactory factory) {
    factory_ = factory ? std::move(factory) : TSerialDeviceFactory(CreateSystemSerialDevice);
}

void TComPort::Open() {
    Close();
    const QString path = ComPortDeviceName(port_);
    // Port 0 means no port: nothing is opened, and the caller learns it did not open.
    if (path.isEmpty())
        throw EComHandle(QStringLiteral("Unable to open com port: ") + SystemErrorText(ENODEV));
    std::unique_ptr<TSerialDevice> device = factory_();
    if (const int error = device->Open(path))
        throw EComHandle(QStringLiteral("Unable to open com port: ") + SystemErrorText(error));
    const TSerialConfig config = Config();
    int error = device->Configure(config);
    if (!error) error = device->SetOutputLines(config.enableDTR, config.RtsOn());
    if (error) {
        device->Close(); // a half-opened port would stay locked against the next try
        throw EComState(QStringLiteral("Unable to set com state: ") + SystemErrorText(error));
    }
    device_ = std::move(device);
    lastEvent_ = {};
    thread_ = std::make_unique<TComThread>(*this, *device_, timeBase_, WatchedLines(events_));
    connected_ = true;
    emit OnOpen(this);
}

void TComPort::Close() {
    if (!connected_) return;
    Shutdown();
    emit OnClose(this);
}

void TComPort::Shutdown() {
    // Thread first: it uses the device until it has been joined.
    thread_.reset();
    if (device_) device_->Close();
    device_.reset();
    connected_ = false;
}

bool TComPort::IsWatching() const {
    return thread_ && thread_->IsRunning();
}

quint32 TComPort::ModemStatus() const {
    // Linux keeps no error state that would block the lines, so there is nothing to clear.
    quint32 status = 0;
    if (!device_ || device_->ReadModemStatus(status) != 0) return 0;
    return status;
}

quint32 TComPort::ScanComPorts(const TSerialDeviceFactory& factory) {
    const TSerialDeviceFactory& make =
        factory ? factory : TSerialDeviceFactory(CreateSystemSerialDevice);
    quint32 present = 0;
    for (int port = 1; port <= kComPortCount; ++port) {
        std::unique_ptr<TSerialDevice> device = make();
        if (device->Open(ComPortDeviceName(port)) != 0) continue;
        const bool serial = device->IsSerialPort();
        device->Close();
        if (!serial) continue;
        present |= 1u << (port - 1);
        present = (present & 0xFFFF) | (quint32(port) << 16);
    }
    return present;
}

void TComPort::DeliverLineEvent(TComHandOver& handOver, quint64 ticket) {
    TComLineEvent event;
    if (!handOver.Begin(ticket, event)) return; // closed or reopened since it was posted
    lastEvent_ = event;
    // A handler may close or reopen the port; what is left of this delivery is then void.
    auto deliver = [&](quint32 line, TEvent watched, void (TComPort::*signal)(TComPort*)) {
        if ((event.changed & line) && events_.testFlag(watched) && handOver.IsCurrent(ticket))
            emit(this->*signal)(this);
    };
    deliver(kModemRing, evRing, &TComPort::OnRing);
    deliver(kModemCTS, evCTS, &TComPort::OnCTS);
    deliver(kModemDSR, evDSR, &TComPort::OnDSR);
    deliver(kModemRLSD, evRLSD, &TComPort::OnRLSD);
    handOver.Finish(ticket);
}
