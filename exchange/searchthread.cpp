#include "exchange/searchthread.h"

#include "device/deviceinfo.h"
#include "exchange/devicesession.h"
#include "exchange/runhandover.h"
#include "exchange/searchevent.h"
#include "exchange/searcheventerror.h"
#include "exchange/searcheventfound.h"
#include "link/modbusport.h"

namespace {

constexpr int kScanFormats[SearchThread::kFormatCount] = {ModbusPort::Format8E1, ModbusPort::Format8O1,
                                                          ModbusPort::Format8N15};

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

// Whatever answers is found: an ОРБИКС-11 as what it is, anything else as unknown.
bool SearchThread::probe(DeviceSession &session, int addr, int format)
{
    session.setAddress(addr);
    session.setFrameFormat(format);
    DeviceInfo d;
    if (session.identifyAny(d, session.probeTimeout()) == DeviceSession::Identity::Unreadable)
        return false;
    d.address = addr;
    d.frameFormat = format;
    d.baudRate = qint32(speed);
    d.portNumber = port;
    emitEvent<SearchEventFound>(d);
    return true;
}

void SearchThread::scan(DeviceSession &session)
{
    while (address <= lastAddress) {
        while (formatIdx < formats.load()) {
            const bool answered = probe(session, address, kScanFormats[formatIdx]);
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
    DeviceSession session(path, &running);
    session.setLineOptions(lineOptions);
    session.setTiming(timing);
    session.setDevice(int(probeAddress), qint32(speed), kScanFormats[0]); // each probe sets its own
    if (!session.open()) {
        emitEvent<SearchEventError>(0);
        return;
    }
    // A network line whose server keeps its own frame format is probed once an address.
    formats = session.port().canSetFrameFormat() ? kFormatCount : 1;
    emitEvent<SearchEvent>(SearchEvent::Started);
    if (single) {
        probe(session, int(probeAddress), int(probeFormat));
        if (running)
            emitEvent<SearchEvent>(SearchEvent::ProbeDone);
        return;
    }
    scan(session);
}
