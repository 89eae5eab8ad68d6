// The settings file loader, fed any file. Whatever the file holds, the settings
// come out in range, and saving them gives a file that loads back the same.
#include "device/deviceinfo.h"
#include "storage/appsettings.h"
#include "tests/fuzz/fuzzinput.h"

#include <QTemporaryDir>

namespace {

struct Files
{
    MemoryFile input;
    QTemporaryDir saved; // save() writes through a temporary file and a rename
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    static Files files;
    FUZZ_CHECK(files.saved.isValid());

    AppSettings s;
    s.lastReportDir = QStringLiteral("stale");
    s.autoConnect = true;
    s.load(files.input.path(data, size));

    FUZZ_CHECK(s.currentAxisScale == AppSettings::kLinearAxis || s.currentAxisScale == AppSettings::kLogarithmicAxis);
    FUZZ_CHECK(s.plotInterval >= 0 && s.plotInterval <= AppSettings::kMaxPlotInterval);
    FUZZ_CHECK(s.lastSpeedIndex >= 0 && s.lastSpeedIndex < DeviceInfo::kSpeedCount);
    FUZZ_CHECK(s.lastPortNumber >= 0);
    // Nothing of the object's earlier state survives a load.
    if (size < 4)
        FUZZ_CHECK(s.lastReportDir.isEmpty() && !s.autoConnect);

    const QString path = files.saved.filePath(QLatin1String(AppSettings::kFileName));
    FUZZ_CHECK(s.save(path));
    AppSettings back;
    back.load(path);
    FUZZ_CHECK(back.lastReportDir == s.lastReportDir);
    FUZZ_CHECK(back.autoConnect == s.autoConnect);
    FUZZ_CHECK(back.currentAxisScale == s.currentAxisScale);
    FUZZ_CHECK(back.plotInterval == s.plotInterval);
    FUZZ_CHECK(back.lastSpeedIndex == s.lastSpeedIndex);
    FUZZ_CHECK(back.lastPortNumber == s.lastPortNumber);
    return 0;
}
