#include "ComPort.h"

#include "LineEventQueue.h"

#include <QMetaObject>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <thread>

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
    : QObject(parent), ReconnectTimer(new QTimer(this)), timeBase_(timeBase),
      factory_(CreateSystemSerialDevice) {
    ReconnectTimer->setInterval(kReconnectIntervalMs);
    connect(ReconnectTimer, &QTimer::timeout, this, &TComPort::TryReconnect);
}

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

void TComPort::SetCondition(const TPortCondition& condition) {
    if (condition == condition_) return;
    condition_ = condition;
    emit OnConditionChanged(this);
}

void TComPort::Open() {
    Close();
    TPortCondition condition;
    condition.port = port_;
    try {
        OpenDevice(condition);
    } catch (const EComError&) {
        SetCondition(condition);
        throw;
    }
    SetCondition(condition);
    emit OnOpen(this);
}

void TComPort::OpenDevice(TPortCondition& learnt) {
    const QString path = ComPortDeviceName(port_);
    learnt.openError = 0;
    // Port 0 means no port: nothing is opened, and the caller learns it did not open.
    if (path.isEmpty())
        throw EComHandle(QStringLiteral("Unable to open com port: ") + SystemErrorText(ENODEV));
    std::unique_ptr<TSerialDevice> device = factory_();
    if (const int error = device->Open(path)) {
        learnt.openError = error;
        throw EComHandle(QStringLiteral("Unable to open com port: ") + SystemErrorText(error));
    }
    const TSerialConfig config = Config();
    int error = device->Configure(config);
    if (!error) {
        // Before the lines are driven: their first change then already arrives without delay.
        // Drivers without the flag (built-in UARTs, CDC-ACM) refuse it, which costs nothing.
        device->SetLowLatency();
        error = device->SetOutputLines(config.enableDTR, config.RtsOn());
    }
    const int latency = error ? -1 : device->LatencyTimerMs();
    if (!error) {
        // Closed contacts come on with DTR and RTS; an adapter reports that one status packet
        // later. Those are the levels at rest, not edges.
        const int settleMs = !IsUsbSerialDevice(path) ? 1 : latency >= 0 ? 2 * latency + 1 : 20;
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        error = ReadLineSnapshot(*device, openStatus_);
    }
    if (error) {
        device->Close(); // a half-opened port would stay locked against the next try
        throw EComState(QStringLiteral("Unable to set com state: ") + SystemErrorText(error));
    }
    learnt.product = device->ProductName();
    learnt.latencyMs = latency;
    device_ = std::move(device);
    lastEvent_ = {};
    delivered_ = 0;
    queue_ = std::make_shared<TLineEventQueue>(std::size_t(queueCapacity_));
    // The wait thread only posts; everything it reports is taken on this thread, and only
    // while its queue is still the port's.
    std::shared_ptr<TLineEventQueue> queue = queue_;
    TComThread::TCallbacks callbacks;
    callbacks.wake = [this, queue] {
        QMetaObject::invokeMethod(
            this, [this, queue] { DeliverQueued(queue); }, Qt::QueuedConnection);
    };
    callbacks.polling = [this, queue] {
        QMetaObject::invokeMethod(
            this,
            [this, queue] {
                if (queue != queue_) return;
                TPortCondition condition = condition_;
                condition.polled = true;
                SetCondition(condition);
            },
            Qt::QueuedConnection);
    };
    callbacks.ended = [this, queue] {
        QMetaObject::invokeMethod(
            this, [this, queue] { RecorderEnded(queue); }, Qt::QueuedConnection);
    };
    thread_ = std::make_unique<TComThread>(*device_, timeBase_, WatchedLines(events_), openStatus_,
                                           *queue_, std::move(callbacks));
    connected_ = true;
}

void TComPort::Close() {
    ReconnectTimer->stop();
    if (condition_.lost) {
        TPortCondition condition = condition_;
        condition.lost = false;
        SetCondition(condition);
    }
    if (!connected_) return;
    Shutdown();
    emit OnClose(this);
}

void TComPort::Shutdown() {
    // Thread first: it uses the device until it has been joined. Events not yet delivered
    // go with the queue.
    thread_.reset();
    queue_.reset();
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

quint64 TComPort::RecordedEvents() const {
    return queue_ ? queue_->Pushed() : 0;
}

quint64 TComPort::QueueOverflows() const {
    return queue_ ? queue_->Overflows() : 0;
}

void TComPort::DeliverQueued(const std::shared_ptr<TLineEventQueue>& queue) {
    // A handler may close or reopen the port; what is left of this queue is then void.
    TComLineEvent event;
    while (queue == queue_ && queue->Pop(event)) {
        lastEvent_ = event;
        ++delivered_;
        emit OnLineEvent(this);
        auto deliver = [&](quint32 line, TEvent watched, void (TComPort::*signal)(TComPort*)) {
            if ((event.changed & line) && events_.testFlag(watched) && queue == queue_)
                emit(this->*signal)(this);
        };
        deliver(kModemRing, evRing, &TComPort::OnRing);
        deliver(kModemCTS, evCTS, &TComPort::OnCTS);
        deliver(kModemDSR, evDSR, &TComPort::OnDSR);
        deliver(kModemRLSD, evRLSD, &TComPort::OnRLSD);
    }
    if (queue == queue_ && queue->Overflows() != condition_.overflows) {
        TPortCondition condition = condition_;
        condition.overflows = queue->Overflows();
        SetCondition(condition);
    }
}

void TComPort::RecorderEnded(const std::shared_ptr<TLineEventQueue>& queue) {
    if (queue != queue_) return;
    // What was seen before the device went away still counts.
    DeliverQueued(queue);
    if (queue != queue_) return;
    Shutdown();
    emit OnClose(this);
    TPortCondition condition = condition_;
    condition.lost = true;
    condition.reconnected = false;
    SetCondition(condition);
    ReconnectTimer->start();
}

void TComPort::TryReconnect() {
    if (connected_ || !condition_.lost) {
        ReconnectTimer->stop();
        return;
    }
    TPortCondition condition;
    condition.port = port_;
    try {
        OpenDevice(condition);
    } catch (const EComError&) {
        return; // not back yet; the timer tries again
    }
    ReconnectTimer->stop();
    condition.reconnected = true;
    SetCondition(condition);
    emit OnOpen(this);
}

TPortScan TComPort::ScanPorts(const TSerialDeviceFactory& factory) {
    const TSerialDeviceFactory& make =
        factory ? factory : TSerialDeviceFactory(CreateSystemSerialDevice);
    TPortScan scan;
    for (int port = 1; port <= kComPortCount; ++port) {
        const QString path = ComPortDeviceName(port);
        std::unique_ptr<TSerialDevice> device = make();
        if (const int error = device->Open(path)) {
            if (error == EACCES || error == EPERM) {
                TPortCondition refused;
                refused.port = port;
                refused.openError = error;
                scan.refused.append(refused);
            }
            continue;
        }
        // A ttyS is there for every possible UART; USB adapters never report a type.
        const bool serial = IsUsbSerialDevice(path) || device->HasUartType();
        const QString product = device->ProductName();
        device->Close();
        if (!serial) continue;
        scan.present |= 1u << (port - 1);
        scan.present = (scan.present & 0xFFFF) | (quint32(port) << 16);
        scan.names.insert(port, ComPortDisplayName(port, product));
    }
    return scan;
}

quint32 TComPort::ScanComPorts(const TSerialDeviceFactory& factory) {
    return ScanPorts(factory).present;
}
