// Where the files go: beside the program in a build tree, in the user's data directory
// for an installed program or when the program's own directory cannot be written, and
// that what was saved is what is read back.
#include "storage/appsettings.h"
#include "storage/datadirectory.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifndef Q_OS_WIN
constexpr uid_t kNobody = 65534; // root writes anywhere: the read-only case runs as nobody
#endif
constexpr const char *kAsNobody = "ORBIX_TEST_AS_NOBODY";
constexpr const char *kInstalled = "ORBIX_TEST_INSTALLED"; // set in a copy run from a bin directory

// The command that runs a copy of this test: the copy, or under an emulator (CTest sets
// ORBIX_TEST_EMULATOR in an arm64 tree) the emulator with it, as no binfmt handler may.
QStringList runCopy(const QString &copy)
{
    const QString emulator = qEnvironmentVariable("ORBIX_TEST_EMULATOR");
    return emulator.isEmpty() ? QStringList {copy} : QStringList {emulator, copy};
}

// Every path below dir, to see that nothing was made.
QStringList allEntries(const QString &dir)
{
    QStringList paths;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

// The user's data directory in QStandardPaths' test mode, under HOME (on Windows
// under the local application data, which no HOME moves).
QString userDirectoryIn(const QString &home)
{
#ifdef Q_OS_WIN
    Q_UNUSED(home);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/orbix-service";
#else
    return home + "/.qttest/share/orbix-service";
#endif
}
} // namespace

class TestDataDirectory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultDirectory_data();
    void defaultDirectory();
    void unwritableDirectoryGivesTheFallback();
    void savedSettingsAreReadFromWhereTheyWent();
    void installedProgramKeepsFilesInTheUserDirectory();
    void writeFileCreatesItsDirectory();

private:
    void readBack(const QString &dataDir);
    void saveAsInstalled();
};

void TestDataDirectory::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the fallback lands under ~/.qttest
}

void TestDataDirectory::defaultDirectory_data()
{
    QTest::addColumn<QString>("programDir"); // relative to a temporary directory
    QTest::addColumn<QString>("existing");   // a directory made first, if any
    QTest::addColumn<QString>("expected");   // relative, or "user" for the user's data directory
    QTest::newRow("carried with its files") << "stick/bin" << "stick/data" << "stick/data";
#ifdef Q_OS_WIN
    QTest::newRow("installed") << "Program Files/orbix" << "Program Files/orbix" << "user";
    QTest::newRow("unpacked") << "Downloads/orbix" << "Downloads/orbix" << "user";
    QTest::newRow("portable") << "Downloads/orbix" << "Downloads/orbix/data" << "Downloads/orbix/data";
#else
    QTest::newRow("build tree") << "build/app" << "build/app" << "build/data";
    QTest::newRow("installed") << "usr/bin" << "usr/bin" << "user";
    QTest::newRow("../data cannot be made") << "a-file/app" << "" << "user";
#endif
}

void TestDataDirectory::defaultDirectory()
{
    QFETCH(QString, programDir);
    QFETCH(QString, existing);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile plain(dir.filePath("a-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    if (!existing.isEmpty())
        QVERIFY(QDir(dir.path()).mkpath(existing));
    const QStringList before = allEntries(dir.path());
    const QString chosen = DataDirectory::defaultPath(dir.filePath(programDir));
    QCOMPARE(chosen, expected == "user" ? userDirectoryIn(QDir::homePath()) : dir.filePath(expected));
    QCOMPARE(allEntries(dir.path()), before); // nothing made, not even by root
}

void TestDataDirectory::unwritableDirectoryGivesTheFallback()
{
    QTemporaryDir dir;
    QFile plain(dir.filePath("a-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    DataDirectory::setOverride(dir.filePath("a-file/data")); // nothing can be made below a file
    QCOMPARE(DataDirectory::writablePath(), userDirectoryIn(QDir::homePath()));
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
#ifdef Q_OS_WIN
    QSKIP("a directory read-only to its user and a run as nobody are Linux's");
#else
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
    // nobody may not reach the build tree (a checkout under /root is mode 700): run a copy
    // of this test from the temporary directory, which everybody can enter.
    const QString copy = dir.filePath("tst_datadirectory");
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(::chmod(QFile::encodeName(copy).constData(), 0755) == 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kAsNobody, data);
    env.insert("HOME", home);
    child.setProcessEnvironment(env);
    child.start("setpriv", QStringList {"--reuid=" + QString::number(kNobody), "--regid=" + QString::number(kNobody),
                                        "--clear-groups"}
                               + runCopy(copy) + QStringList {"savedSettingsAreReadFromWhereTheyWent"});
    QVERIFY2(child.waitForFinished(20000), "the run as nobody did not end");
    if (child.exitCode() == 126) // setpriv could not execute it: a temporary directory mounted noexec
        QSKIP("nobody cannot execute a copy of this test in the temporary directory");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAllStandardOutput().constData());
#endif
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

// A copy of this test run from DIR/usr/bin, as an installed program is (as root in CI,
// who could make DIR/usr/data): its files go to the user's data directory, silently,
// and are read back from there.
void TestDataDirectory::installedProgramKeepsFilesInTheUserDirectory()
{
#ifdef Q_OS_WIN
    QSKIP("the user's directory follows HOME only on Linux");
#endif
    if (qEnvironmentVariableIsSet(kInstalled))
        return saveAsInstalled();
    QTemporaryDir dir;
    const QString bin = dir.filePath("usr/bin");
    const QString home = dir.filePath("home");
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(home));
    const QString copy = bin + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kInstalled, "1");
    env.insert("HOME", home);
    env.remove("XDG_DATA_HOME");
    env.remove(DataDirectory::kEnvironmentVariable);
    child.setProcessEnvironment(env);
    const QStringList run = runCopy(copy);
    child.start(run.first(), run.mid(1) + QStringList {"installedProgramKeepsFilesInTheUserDirectory"});
    QVERIFY2(child.waitForFinished(20000), "the installed copy did not end");
    const QByteArray err = child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             QByteArray(child.readAllStandardOutput() + err).constData());
    QVERIFY2(!err.contains("cannot write"), err.constData()); // the usual place, nothing to say
    QVERIFY(!QFileInfo::exists(dir.filePath("usr/data")));
    QVERIFY(QFileInfo::exists(userDirectoryIn(home) + "/config.dat"));
}

void TestDataDirectory::saveAsInstalled()
{
    const QString user = userDirectoryIn(QDir::homePath());
    QCOMPARE(DataDirectory::path(), user);
    AppSettings &settings = AppSettings::instance();
    settings.plotInterval = 333;
    QVERIFY(settings.save());
    QCOMPARE(DataDirectory::writablePath(), user);
    settings.plotInterval = 0;
    settings.load();
    QCOMPARE(settings.plotInterval, 333);
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
