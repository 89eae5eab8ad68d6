// The device list and the last connection: both files are read by the one record
// loader, fed any file here. Every whole 36-byte record is loaded, exactly as stored,
// and nothing is made of a trailing partial record; each record can be shown.
#include "devicerecordfile.h"
#include "fuzzinput.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static MemoryFile file;
    const QVector<DeviceInfo> records = DeviceRecordFile::load(file.path(data, size));

    FUZZ_CHECK(std::size_t(records.size()) == size / DeviceInfo::kRecordSize);
    for (int i = 0; i < records.size(); ++i) {
        const DeviceInfo &d = records[i];
        const QByteArray back = d.toRecord();
        FUZZ_CHECK(back.size() == DeviceInfo::kRecordSize);
        FUZZ_CHECK(std::memcmp(back.constData(), data + std::size_t(i) * DeviceInfo::kRecordSize,
                               DeviceInfo::kRecordSize) == 0);
        // The device table's text ends in the port whatever the record holds.
        const QString text = d.displayText();
        FUZZ_CHECK(text.endsWith(QStringLiteral("/COM") + QString::number(d.portNumber)));
        const QString label = DeviceInfo::formatLabel(d.frameFormat);
        FUZZ_CHECK(label.isEmpty() == (d.frameFormat < 0 || d.frameFormat > 3));
        if (!label.isEmpty())
            FUZZ_CHECK(DeviceInfo::formatCode(label) == d.frameFormat);
    }
    return 0;
}
