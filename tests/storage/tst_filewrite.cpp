// What a save on a full disk leaves: the file as it was before, no temporary file
// beside it, and false for the caller to report. Each saver of the data directory
// writes through the one shared write, on a full tmpfs and under a file size limit.
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/devicerecordfile.h"
#include "storage/portmap.h"
#include "storage/settingsfile.h"
#include "tests/testwritefailure.h"

#include <QtTest>

#include <functional>

namespace {
using Saver = std::function<bool(const QString &path)>;

const QByteArray kGood("good old content\n");
constexpr int kTmpfsKb = 64;

Saver saver(const QString &name)
{
    if (name == "records")
        return [](const QString &path) { return DeviceRecordFile::save(path, QVector<DeviceInfo>(3)); };
    if (name == "settings file")
        return [](const QString &path) {
            SettingsFile f;
            f.fields.insert("ratedCurrent", 40);
            QString error;
            return f.save(path, error);
        };
    if (name == "app settings")
        return [](const QString &path) { return AppSettings::instance().save(path); };
    if (name == "port binding") // written where the data directory says
        return [](const QString &) { return PortMap::saveBinding(50, "modbus-tcp://10.0.0.5"); };
    return [](const QString &path) { return DataDirectory::writeFile(path, QByteArray(4096, 'x')); };
}
} // namespace

class TestFileWrite : public QObject
{
    Q_OBJECT

private slots:
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void saveWithRoomReplacesTheFile();
};

void TestFileWrite::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("tmpfs");
    for (const char *writer : {"plain", "records", "settings file", "app settings", "port binding"}) {
        QTest::newRow(qPrintable(QString(writer) + ", size limit")) << QString(writer) << false;
        QTest::newRow(qPrintable(QString(writer) + ", full tmpfs")) << QString(writer) << true;
    }
}

void TestFileWrite::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, writer);
    QFETCH(bool, tmpfs);
    QTemporaryDir dir;
    std::unique_ptr<FullTmpfs> disk;
    if (tmpfs) {
        disk = std::make_unique<FullTmpfs>(dir.path(), kTmpfsKb);
        if (!disk->isMounted())
            QSKIP(qPrintable("no tmpfs can be mounted here: " + disk->error()));
    }
    DataDirectory::setOverride(dir.path());
    const QString path = dir.filePath(PortMap::kBindingFile); // one name serves every saver
    QVERIFY(DataDirectory::writeFile(path, kGood));
    QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    {
        WriteLimit limit(tmpfs ? RLIM_INFINITY : 4);
        QVERIFY(limit.isActive());
        if (disk) {
            QVERIFY(disk->fill());
            before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        }
        QVERIFY(!saver(writer)(path));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kGood);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    DataDirectory::setOverride(QString());
}

// The same savers with room: the check above is not a saver that always fails.
void TestFileWrite::saveWithRoomReplacesTheFile()
{
    QTemporaryDir dir;
    DataDirectory::setOverride(dir.path());
    const QString path = dir.filePath(PortMap::kBindingFile);
    for (const char *writer : {"plain", "records", "settings file", "app settings", "port binding"}) {
        QVERIFY(DataDirectory::writeFile(path, kGood));
        QVERIFY2(saver(writer)(path), writer);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() != kGood, writer);
    }
    DataDirectory::setOverride(QString());
}

QTEST_GUILESS_MAIN(TestFileWrite)
#include "tst_filewrite.moc"
