#include "exchange/searchthread.h"

#include "device/deviceinfo.h"
#include "device/searchpacket.h"
#include "exchange/runhandover.h"
#include "exchange/searchevent.h"
#include "exchange/searcheventerror.h"
#include "exchange/searcheventfound.h"
#include "link/modbusport.h"
#include "link/packetexecutor.h"

namespace {

constexpr int kScanFormats[SearchThread::kFormatCount] = {ModbusPort::Format8E1, ModbusPort::Format8O1,
                                                          ModbusPort::Format8N15};
// Identification words of a recognised device: lowest rated current in counts.
constexpr quint16 kRatedLowA = 10, kRatedLowB = 84, kRatedLowScaleOne = 50;

} // namespace

SearchThread::SearchThread(QObject *parent)
    : QThread(parent)
{
    qRegisterMetaType<SearchEventPtr>("SearchEventPtr");
}

SearchThread::~SearchThread()
{
    requestStop();
    wait();
    RunHandOver::taken(this);
}

int SearchThread::scanFormat(int index)
{
    return kScanFormats[index];
}

void SearchThread::setScanRange(int first, int last)
{
    firstAddress = qBound(1, first, int(kLastAddress));
    lastAddress = qBound(firstAddress, last, int(kLastAddress));
}

void SearchThread::resetSearch()
{
    formatIdx = 0;
    address = firstAddress;
    probes = 0;
    ++scanId;
}

void SearchThread::startSearch()
{
    single = false;
    resetSearch();
    running = true;
    start();
}

void SearchThread::probeAt(quint32 addr, quint32 format)
{
    single = true;
    probeAddress = addr;
    probeFormat = format;
    running = true;
    start();
}

void SearchThread::requestStop()
{
    running = false;
}

void SearchThread::stopSearch()
{
    if (!isRunning())
        return;
    requestStop();
    wait();
    RunHandOver::taken(this);
    single = false;
    stoped();
}

void SearchThread::toggleSearch()
{
    single = false;
    if (isRunning()) {
        stopSearch();
        return;
    }
    running = true;
    start();
}

void SearchThread::stoped()
{
    emitEvent<SearchEvent>(SearchEvent::Stopped);
}

DeviceInfo SearchThread::recognise(const SearchPacket &answer)
{
    const quint16 scale = answer.currentScale();
    const quint16 low = answer.minRatedCounts();
    const bool lowKnown = low == kRatedLowA || low == kRatedLowB || (low == kRatedLowScaleOne && scale == 1);
    DeviceInfo d;
    if (!lowKnown || answer.maxRatedCounts() != 10 * low) {
        d.kind = DeviceInfo::Unknown;
        return d;
    }
    d.kind = DeviceInfo::Recognised;
    d.currentScale = scale;
    d.modification = answer.modification();
    // A scale of 0 would give infinite currents; the raw scale is kept and the currents read 0.
    if (scale != 0) {
        d.minRatedCurrent = float(low) / float(scale);
        d.maxRatedCurrent = float(10 * low) / float(scale);
    }
    return d;
}

bool SearchThread::probe(ModbusPort &modbus, int addr, int format)
{
    SearchPacket answer;
    if (!PacketExecutor(modbus).readPacket(answer))
        return false;
    DeviceInfo d = recognise(answer);
    d.address = addr;
    d.frameFormat = format;
    d.baudRate = qint32(speed);
    d.portNumber = port;
    emitEvent<SearchEventFound>(d);
    return true;
}

void SearchThread::scan(ModbusPort &modbus)
{
    while (address <= lastAddress) {
        modbus.setSlaveAddress(quint8(address.load()));
        while (formatIdx < formats.load()) {
            modbus.setFrameFormat(kScanFormats[formatIdx]);
            const bool answered = probe(modbus, address, kScanFormats[formatIdx]);
            // A probe cut off by a stop, whether or not some reply bytes had come, is
            // not counted: the scan repeats it when continued.
            if (!running && !answered)
                return;
            ++probes;
            ++formatIdx;
            if (!running)
                return;
            emitEvent<SearchEvent>(SearchEvent::Progress);
        }
        formatIdx = 0;
        ++address;
    }
    emitEvent<SearchEvent>(SearchEvent::ScanDone);
}

void SearchThread::run()
{
    runOnce();
    RunHandOver::released(this);
}

void SearchThread::runOnce()
{
    ModbusPort modbus(path.toLocal8Bit());
    modbus.setLineOptions(lineOptions);
    modbus.setRunningFlag(&running);
    timing.applyTo(modbus);
    if (!modbus.open()) {
        emitEvent<SearchEventError>(0);
        return;
    }
    // A network line whose server keeps its own frame format is probed once an address.
    formats = modbus.canSetFrameFormat() ? kFormatCount : 1;
    emitEvent<SearchEvent>(SearchEvent::Started);
    modbus.setReadTimeout(timing.probeTimeout(speed));
    modbus.setSpeed(speed);
    if (single) {
        modbus.setSlaveAddress(quint8(probeAddress));
        modbus.setFrameFormat(int(probeFormat));
        probe(modbus, int(probeAddress), int(probeFormat));
        if (running)
            emitEvent<SearchEvent>(SearchEvent::ProbeDone);
        return;
    }
    scan(modbus);
}
