#pragma once

#include "ComLineEvent.h"
#include "ComThread.h"
#include "LineEventQueue.h"
#include "SerialDevice.h"

#include <QByteArray>
#include <QFlags>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <algorithm>
#include <exception>
#include <memory>

class QTimer;
class THighResTimer;

// Line events a port can watch. Only the status lines (CTS, DSR, RLSD, ring) are watched on
// this platform; the data events exist for completeness and are never raised.
enum TEvent {
    evRxChar = 0x001,
    evTxEmpty = 0x002,
    evRxFlag = 0x004,
    evRing = 0x008,
    evBreak = 0x010,
    evCTS = 0x020,
    evDSR = 0x040,
    evError = 0x080,
    evRLSD = 0x100
};
Q_DECLARE_FLAGS(TEvents, TEvent)
Q_DECLARE_OPERATORS_FOR_FLAGS(TEvents)

// The classic communications event mask of a set (evCTS 0x0008, evDSR 0x0010, …).
quint32 EventMask(TEvents events);
// Status word lines the wait thread watches for a set.
quint32 WatchedLines(TEvents events);

class EComError : public std::exception {
public:
    explicit EComError(const QString& message) : message_(message), utf8_(message.toUtf8()) {}
    const QString& Message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// The device cannot be opened.
class EComHandle : public EComError {
public:
    using EComError::EComError;
};

// A setting cannot be applied.
class EComState : public EComError {
public:
    using EComError::EComError;
};

// What the port knows of its device beyond the lines, for the operator.
struct TPortCondition {
    int port = 0;             // the COM number this is about; 0 none
    QString product;          // the adapter's product name, where the system knows it
    int openError = 0;        // errno of the last open that failed, 0 otherwise
    int latencyMs = -1;       // the driver's latency timer after the open, -1 unknown
    bool polled = false;      // the driver cannot wait for changes: the lines are polled
    bool lost = false;        // the device went away while open; it is being looked for
    bool reconnected = false; // it came back by itself
    quint64 overflows = 0;    // line events that came faster than they could be taken

    bool operator==(const TPortCondition&) const = default;
};

// What the scan of COM1 … COM16 found.
struct TPortScan {
    // Bit n-1 for every present port n, highest present port in the high 16 bits.
    quint32 present = 0;
    // The list entries of the present ports, with the adapter's name where known.
    QMap<int, QString> names;
    // Devices that exist but may not be opened by this user.
    QList<TPortCondition> refused;
};

// The serial port whose status lines carry the start contact and the light barriers. Its wait
// thread stamps each line change the moment it sees it and queues it; the changes arrive as
// signals on the port's own (user-interface) thread, in order, however busy that thread was.
// During each delivery LastEvent() tells when the change was seen and what the lines were.
class TComPort : public QObject {
    Q_OBJECT
public:
    // The wait thread reads timeBase; its tick source must not change while a port is open.
    explicit TComPort(const THighResTimer& timeBase, QObject* parent = nullptr);
    // Closes without OnClose: the receivers may already be half destroyed.
    ~TComPort() override;

    // Milliseconds between tries to open a device that went away; it is opened again by
    // itself when it comes back.
    static constexpr int kReconnectIntervalMs = 1000;

    quint8 Port() const { return port_; }
    void SetPort(quint8 port) { port_ = port; }
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate) { baudRate_ = rate; }
    qint32 BaudRateUser() const { return baudRateUser_; }
    void SetBaudRateUser(qint32 rate) { baudRateUser_ = rate; }
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity) { parity_ = parity; }
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits stopBits) { stopBits_ = stopBits; }
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl flow) { flowControl_ = flow; }
    quint8 DataBits() const { return dataBits_; }
    // Kept within 5 … 8.
    void SetDataBits(quint8 bits);
    TEvents Events() const { return events_; }
    void SetEvents(TEvents events) { events_ = events; }
    bool EnableDTR() const { return enableDTR_; }
    void SetEnableDTR(bool enable) { enableDTR_ = enable; }
    qint32 WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(qint32 size) { writeBufSize_ = size; }
    qint32 ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(qint32 size) { readBufSize_ = size; }

    // Settings take effect at the next Open().
    TSerialConfig Config() const;
    // Line events that may wait for the user-interface thread.
    void SetQueueCapacity(int events) { queueCapacity_ = std::max(events, 1); }

    // Where devices come from; the system's serial devices unless a test says otherwise.
    void SetDeviceFactory(TSerialDeviceFactory factory);
    const TSerialDeviceFactory& DeviceFactory() const { return factory_; }

    // Throws EComHandle or EComState; the port is then closed.
    void Open();
    // Also gives up looking for a device that went away.
    void Close();
    bool Connected() const { return connected_; }
    bool IsWatching() const;

    // Current levels of the input lines; 0 when the port is not open or cannot be read.
    quint32 ModemStatus() const;
    // The levels as they stood when the port opened: changes count from these.
    quint32 OpenStatus() const { return openStatus_.status; }
    // The event being delivered (or the last one delivered).
    const TComLineEvent& LastEvent() const { return lastEvent_; }
    // Events seen by the wait thread since the port was opened, delivered or not; and of
    // them, those delivered, and the changes that found the queue full.
    quint64 RecordedEvents() const;
    quint64 DeliveredEvents() const { return delivered_; }
    quint64 QueueOverflows() const;

    const TPortCondition& Condition() const { return condition_; }
    // One try to open a device that went away, as the reconnect timer makes it.
    void TryReconnect();
    QTimer* ReconnectTimer;

    static TPortScan ScanPorts(const TSerialDeviceFactory& factory = {});
    // Bit n-1 for every present port n (1 … 16), highest present port in the high 16 bits.
    static quint32 ScanComPorts(const TSerialDeviceFactory& factory = {});

signals:
    // Once per line event, before the signals of the lines it changed; LastEvent() holds it.
    void OnLineEvent(TComPort* Sender);
    void OnRxChar(TComPort* Sender, int InQue);
    void OnTxEmpty(TComPort* Sender);
    void OnBreak(TComPort* Sender);
    void OnRing(TComPort* Sender);
    void OnCTS(TComPort* Sender);
    void OnDSR(TComPort* Sender);
    void OnRLSD(TComPort* Sender);
    void OnRxFlag(TComPort* Sender);
    void OnError(TComPort* Sender);
    void OnOpen(TComPort* Sender);
    void OnClose(TComPort* Sender);
    // Condition() changed.
    void OnConditionChanged(TComPort* Sender);

private:
    // Opens the device and starts the wait thread; learnt gets what the open found out.
    void OpenDevice(TPortCondition& learnt);
    void Shutdown();
    void SetCondition(const TPortCondition& condition);
    void DeliverQueued(const std::shared_ptr<TLineEventQueue>& queue);
    void RecorderEnded(const std::shared_ptr<TLineEventQueue>& queue);

    const THighResTimer& timeBase_;
    TSerialDeviceFactory factory_;
    std::unique_ptr<TSerialDevice> device_;
    // Shared with the calls the wait thread posts, which may arrive after a close.
    std::shared_ptr<TLineEventQueue> queue_;
    std::unique_ptr<TComThread> thread_;
    bool connected_ = false;
    TLineSnapshot openStatus_;
    TComLineEvent lastEvent_;
    quint64 delivered_ = 0;
    TPortCondition condition_;

    quint8 port_ = 1;
    TBaudRate baudRate_ = br9600;
    qint32 baudRateUser_ = 9600;
    TParity parity_ = prNone;
    TStopBits stopBits_ = sbOneStopBit;
    TFlowControl flowControl_ = fcNone;
    quint8 dataBits_ = 8;
    TEvents events_ = TEvents(evRxChar | evTxEmpty | evRxFlag | evRing | evBreak | evCTS | evDSR |
                              evError | evRLSD);
    bool enableDTR_ = true;
    qint32 writeBufSize_ = 2048;
    qint32 readBufSize_ = 2048;
    int queueCapacity_ = int(TLineEventQueue::kDefaultCapacity);
};
