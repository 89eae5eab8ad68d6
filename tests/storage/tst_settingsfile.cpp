// Settings files as JSON and back, and the backups kept before every write.
#include "device/configfields.h"
#include "device/configpacketv70.h"
#include "storage/configbackup.h"
#include "storage/datadirectory.h"
#include "storage/filetext.h"
#include "storage/settingsfile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {
DeviceInfo device70()
{
    DeviceInfo d;
    d.address = 7;
    d.baudRate = 9600;
    d.frameFormat = 1;
    d.portNumber = 3;
    d.modification = 70;
    d.currentScale = 10;
    d.minRatedCurrent = 1.2f;
    d.maxRatedCurrent = 12.0f;
    return d;
}
} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
    void ratedCurrentRangeFollowsTheDevice_data();
    void ratedCurrentRangeFollowsTheDevice();
    void backupsOneFilePerWrite();
    void backupRefusedWhenItCannotBeSaved();
    void failuresInEachProgramsLanguage_data();
    void failuresInEachProgramsLanguage();
};

void TestSettingsFile::roundTrip()
{
    ConfigPacketV70 block;
    for (ConfigFields::Id id : ConfigFields::fieldsOf(70))
        ConfigFields::setValue(block, id, ConfigFields::range(id, device70()).high);
    ConfigFields::setValue(block, ConfigFields::RatedCurrent, 117); // 11.7 A
    ConfigFields::setValue(block, ConfigFields::MinCurrentCorrection, -5);
    ConfigFields::setValue(block, ConfigFields::InsulationThreshold, 1);
    const QDateTime saved(QDate(2024, 5, 1), QTime(10, 20, 30), Qt::OffsetFromUTC, 3 * 3600);
    const SettingsFile file = SettingsFile::fromBlock(block, device70(), saved);
    const QByteArray json = file.toJson();

    const QJsonObject o = QJsonDocument::fromJson(json).object();
    QCOMPARE(o.value("format").toString(), QString("orbix-settings"));
    QCOMPARE(o.value("saved").toString(), QString("2024-05-01T10:20:30+03:00"));
    QCOMPARE(o.value("fields").toObject().size(), int(ConfigFields::Count));
    QCOMPARE(o.value("fields").toObject().value("minCurrentCorrection").toInt(), -5);
    QCOMPARE(o.value("device").toObject().value("maxRatedCurrent").toDouble(), 12.0);

    SettingsFile back;
    QString error;
    QVERIFY2(SettingsFile::fromJson(json, back, error), qPrintable(error));
    QCOMPARE(back.fields, file.fields);
    QCOMPARE(back.modification, 70);
    QCOMPARE(back.device.toRecord(), device70().toRecord());
    QCOMPARE(back.saved, saved);
    ConfigPacketV70 filled;
    SettingsFile::Applied applied;
    QVERIFY2(back.applyTo(filled, device70(), applied, error), qPrintable(error));
    QVERIFY(ConfigFields::differences(filled, block).isEmpty());
    QVERIFY(applied.leftOut.isEmpty() && applied.notInFile.isEmpty());
}

void TestSettingsFile::ratedCurrentRangeFollowsTheDevice_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<int>("lowWord");
    QTest::addColumn<int>("highWord");
    QTest::newRow("scale 10") << 10 << 1.2f << 12.0f << 12 << 120;
    QTest::newRow("scale 2") << 2 << 5.0f << 50.0f << 10 << 100;
    QTest::newRow("scale 1") << 1 << 50.0f << 500.0f << 50 << 500;
}

void TestSettingsFile::ratedCurrentRangeFollowsTheDevice()
{
    QFETCH(int, scale);
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(int, lowWord);
    QFETCH(int, highWord);
    DeviceInfo d = device70();
    d.currentScale = scale;
    d.minRatedCurrent = low;
    d.maxRatedCurrent = high;
    const ConfigFields::Range r = ConfigFields::range(ConfigFields::RatedCurrent, d);
    QCOMPARE(r.low, lowWord);
    QCOMPARE(r.high, highWord);
    QVERIFY(!r.contains(lowWord - 1) && r.contains(lowWord) && r.contains(highWord) && !r.contains(highWord + 1));
}

void TestSettingsFile::backupsOneFilePerWrite()
{
    QTemporaryDir dir;
    DataDirectory::setOverride(dir.path());
    ConfigPacketV70 block;
    ConfigFields::setValue(block, ConfigFields::MinCurrent, 33);
    QString first, second, error;
    QVERIFY2(ConfigBackup::save(block, device70(), ConfigBackup::portLabel(3, "/dev/ttyS2"), first, error), qPrintable(error));
    QVERIFY2(ConfigBackup::save(block, device70(), ConfigBackup::portLabel(0, "/dev/pts/4"), second, error), qPrintable(error));
    QVERIFY(first != second);
    QCOMPARE(QFileInfo(first).absolutePath(), QDir(dir.path()).filePath("backups"));
    QVERIFY(QFileInfo(first).fileName().startsWith("COM3_a7_"));
    QVERIFY(QFileInfo(second).fileName().startsWith("4_a7_"));
    // A network line's name holds what no Windows file name may: saved all the same.
    QString third;
    QVERIFY2(ConfigBackup::save(block, device70(), ConfigBackup::portLabel(0, "modbus-tcp://10.0.0.5:502"), third, error),
             qPrintable(error));
    QVERIFY2(QFileInfo(third).fileName().startsWith("10.0.0.5_502_a7_"), qPrintable(third));
    const QDateTime at(QDate(2024, 5, 1), QTime(10, 20, 30));
    QCOMPARE(ConfigBackup::fileName("COM3", 7, at), QString("COM3_a7_2024-05-01_10-20-30.json"));
    SettingsFile back;
    QVERIFY(SettingsFile::load(first, back, error));
    QCOMPARE(back.fields.value("minCurrent"), 33);
    DataDirectory::setOverride(QString());
}

void TestSettingsFile::backupRefusedWhenItCannotBeSaved()
{
    QTemporaryDir dir;
    DataDirectory::setOverride(dir.path());
    QFile blocker(dir.filePath("backups"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConfigPacketV70 block;
    QString path, error;
    QVERIFY(!ConfigBackup::save(block, device70(), "COM3", path, error));
    QVERIFY2(error.startsWith("резервная копия настроек не сохранена"), qPrintable(error));
    DataDirectory::setOverride(QString());
}

void TestSettingsFile::failuresInEachProgramsLanguage_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("error");
    const QByteArray head(R"({"format": "orbix-settings", "version": 1, "modification": 70, "fields": )");
    QTest::newRow("cut short, window") << QByteArray("{") << false << "файл повреждён: ";
    QTest::newRow("cut short, command line") << QByteArray("{") << true << "damaged file: ";
    QTest::newRow("not an integer, window") << head + R"({"ratedCurrent": 1.5}})" << false
                                            << "поле ratedCurrent: значение не целое число";
    QTest::newRow("not an integer, command line") << head + R"({"ratedCurrent": 1.5}})" << true
                                                  << "field ratedCurrent: the value is not an integer";
    QTest::newRow("out of range, window") << head + R"({"ratedCurrent": 500}})" << false
                                          << "поле ratedCurrent («Номинальный ток двигателя»): значение 50.0А вне "
                                             "допустимого (1.2А..12.0А)";
    QTest::newRow("out of range, command line") << head + R"({"ratedCurrent": 500}})" << true
                                                << "field ratedCurrent: value 50.0А out of range (1.2А..12.0А)";
}

// The window speaks its language (Russian without a translation), the command line English.
void TestSettingsFile::failuresInEachProgramsLanguage()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, english);
    QFETCH(QString, error);
    FileText::useEnglish(english);
    SettingsFile file;
    QString said;
    if (SettingsFile::fromJson(json, file, said)) {
        const std::unique_ptr<ConfigPacket> block = std::make_unique<ConfigPacketV70>();
        SettingsFile::Applied applied;
        QVERIFY(!file.applyTo(*block, device70(), applied, said));
    }
    FileText::useEnglish(false);
    QVERIFY2(said.startsWith(error), qPrintable(said));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
