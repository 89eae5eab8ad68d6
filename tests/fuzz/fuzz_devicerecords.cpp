// The device list and the last connection: both files are read by the one record
// loader, fed any file here. Every whole 36-byte record that is a device is loaded,
// exactly as stored and in file order, every other one and a trailing partial record
// are left out; each record loaded can be shown.
#include "storage/devicerecordfile.h"
#include "tests/fuzz/fuzzinput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static MemoryFile file;
    const QVector<DeviceInfo> records = DeviceRecordFile::load(file.path(data, size));

    int next = 0;
    for (std::size_t at = 0; at + DeviceInfo::kRecordSize <= size; at += DeviceInfo::kRecordSize) {
        DeviceInfo raw;
        FUZZ_CHECK(DeviceInfo::fromRecord(reinterpret_cast<const char *>(data + at), DeviceInfo::kRecordSize, raw));
        if (!DeviceRecordFile::isDevice(raw))
            continue;
        FUZZ_CHECK(next < records.size());
        FUZZ_CHECK(std::memcmp(records[next].toRecord().constData(), data + at, DeviceInfo::kRecordSize) == 0);
        ++next;
    }
    FUZZ_CHECK(next == records.size());
    for (const DeviceInfo &d : records) {
        // What makes a device, seen without the loader's own check.
        FUZZ_CHECK(d.kind == DeviceInfo::Recognised || d.kind == DeviceInfo::Unknown);
        FUZZ_CHECK(d.address >= 1 && d.address <= 247);
        FUZZ_CHECK(std::count(std::begin(DeviceInfo::kSpeeds), std::end(DeviceInfo::kSpeeds), d.baudRate) == 1);
        FUZZ_CHECK(d.kind == DeviceInfo::Unknown || (std::isfinite(d.minRatedCurrent) && std::isfinite(d.maxRatedCurrent)));
        // The device table's text ends in the port whatever the record holds.
        const QString text = d.displayText();
        FUZZ_CHECK(text.endsWith(QStringLiteral("/COM") + QString::number(d.portNumber)));
        const QString label = DeviceInfo::formatLabel(d.frameFormat);
        FUZZ_CHECK(!label.isEmpty() && DeviceInfo::formatCode(label) == d.frameFormat);
    }
    return 0;
}
