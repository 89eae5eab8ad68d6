#include "cli/deviceprobe.h"

#include "cli/linkoptions.h"
#include "device/deviceinfo.h"
#include "exchange/eventdispatch.h"
#include "exchange/searchthread.h"

#include <QEventLoop>

#include <optional>

bool DeviceProbe::identify(const LinkOptions &link, DeviceInfo &found, QString &reason)
{
    SearchThread search;
    search.setDevicePath(link.devicePath);
    search.setLineOptions(link.options);
    search.setPortNumber(link.portNumber);
    search.setBaudRate(link.baud);
    search.setTiming(link.timing());
    std::optional<DeviceInfo> device;
    QEventLoop loop;
    QObject::connect(&search, &SearchThread::searchEvent, &loop, [&](const SearchEventPtr &e) {
        EventDispatch::visit(*e, EventHandlers {
            [&device](const SearchEventFound &f) { device = f.device(); },
            [&loop](const SearchEvent &s) {
                if (s.type() != SearchEvent::Started)
                    loop.quit();
            }});
    });
    search.probeAt(quint32(link.address), quint32(link.frameFormat));
    loop.exec();
    search.wait();
    if (!device) {
        reason = QStringLiteral("no answer from address %1 at %2 bit/s %3")
                     .arg(link.address).arg(link.baud).arg(DeviceInfo::formatLabel(link.frameFormat));
        return false;
    }
    if (device->kind != DeviceInfo::Recognised) {
        reason = QStringLiteral("address %1 answered, but not as an ОРБИКС-11").arg(link.address);
        return false;
    }
    found = *device;
    return true;
}
