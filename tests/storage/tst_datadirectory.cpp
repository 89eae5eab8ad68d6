// Where the files go when the program's own data directory cannot be written, and
// that what was saved there is what is read back.
#include "appsettings.h"
#include "datadirectory.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uid_t kNobody = 65534; // root writes anywhere: the read-only case runs as nobody
constexpr const char *kAsNobody = "ORBIX_TEST_AS_NOBODY";
} // namespace

class TestDataDirectory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unwritableDirectoryGivesTheFallback();
    void savedSettingsAreReadFromWhereTheyWent();
    void writeFileCreatesItsDirectory();

private:
    void readBack(const QString &dataDir);
};

void TestDataDirectory::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the fallback lands under ~/.qttest
}

void TestDataDirectory::unwritableDirectoryGivesTheFallback()
{
    QTemporaryDir dir;
    QFile plain(dir.filePath("a-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    DataDirectory::setOverride(dir.filePath("a-file/data")); // nothing can be made below a file
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(DataDirectory::writablePath(), fallback);
    QVERIFY(!QFileInfo::exists(dir.filePath("a-file/data")));
    DataDirectory::setOverride(dir.filePath("fresh/data"));
    QCOMPARE(DataDirectory::writablePath(), dir.filePath("fresh/data"));
    QVERIFY(!QFileInfo::exists(dir.filePath("fresh"))); // created only when written
    DataDirectory::setOverride(QString());
}

// A data directory that holds an older config.dat and cannot be written: the
// settings go to the fallback directory and are read from there on.
void TestDataDirectory::savedSettingsAreReadFromWhereTheyWent()
{
    if (qEnvironmentVariableIsSet(kAsNobody))
        return readBack(qEnvironmentVariable(kAsNobody));
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    const QString data = dir.filePath("data");
    const QString home = dir.filePath("home");
    QVERIFY(QDir().mkpath(data) && QDir().mkpath(home));
    AppSettings old;
    old.plotInterval = 111;
    QVERIFY(old.save(data + "/config.dat"));
    QVERIFY(::chmod(QFile::encodeName(data).constData(), 0555) == 0);
    QVERIFY(::chmod(QFile::encodeName(home).constData(), 0777) == 0);
    if (geteuid() != 0) {
        qputenv("HOME", QFile::encodeName(home));
        return readBack(data);
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kAsNobody, data);
    env.insert("HOME", home);
    child.setProcessEnvironment(env);
    child.start("setpriv", {"--reuid=" + QString::number(kNobody), "--regid=" + QString::number(kNobody),
                            "--clear-groups", QCoreApplication::applicationFilePath(),
                            "savedSettingsAreReadFromWhereTheyWent"});
    QVERIFY2(child.waitForFinished(20000), "the run as nobody did not end");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAllStandardOutput().constData());
}

void TestDataDirectory::readBack(const QString &dataDir)
{
    DataDirectory::setOverride(dataDir);
    AppSettings &settings = AppSettings::instance();
    settings.load();
    QCOMPARE(settings.plotInterval, 111); // the old file, until something is saved
    settings.plotInterval = 222;
    QVERIFY(settings.save());
    QVERIFY(DataDirectory::writablePath() != dataDir);
    settings.plotInterval = 0;
    settings.load();
    QCOMPARE(settings.plotInterval, 222);
    DataDirectory::setOverride(QString());
}

void TestDataDirectory::writeFileCreatesItsDirectory()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a/b/list.dat");
    QVERIFY(DataDirectory::writeFile(path, QByteArray("\x01\x02", 2)));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\x01\x02", 2));
    QCOMPARE(QDir(dir.filePath("a/b")).entryList(QDir::Files | QDir::Hidden), QStringList {"list.dat"});
}

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
