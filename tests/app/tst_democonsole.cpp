// The demo line's console: the simulator's commands read from standard input trip a
// device as orbix-sim's console does.
#include "app/democonsole.h"
#include "sim/simulator.h"

#include <QtTest>

#include <unistd.h>

class TestDemoConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tripFromStandardInput();

private:
    Simulator sim;
    int savedInput = -1;
    int writeEnd = -1;
};

void TestDemoConsole::initTestCase()
{
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    savedInput = ::dup(STDIN_FILENO);
    QVERIFY(::dup2(fds[0], STDIN_FILENO) == STDIN_FILENO); // the pipe is the program's input
    ::close(fds[0]);
    writeEnd = fds[1];
}

void TestDemoConsole::cleanupTestCase()
{
    if (writeEnd >= 0)
        ::close(writeEnd);
    if (savedInput >= 0)
        ::dup2(savedInput, STDIN_FILENO);
}

void TestDemoConsole::tripFromStandardInput()
{
    QVERIFY(DemoConsole::inputUsable()); // a pipe, not a terminal
    DemoConsole console(sim);
    const QByteArray command("trip 1 31\nget 1 303\n");
    QCOMPARE(::write(writeEnd, command.constData(), size_t(command.size())), ssize_t(command.size()));
    QVERIFY(QTest::qWaitFor([this] { return sim.registerValue(1, 303) == 31; }, 5000));
    QCOMPARE(sim.registerValue(1, 34), quint16(31)); // the active fault, as a real trip shows it
}

QTEST_GUILESS_MAIN(TestDemoConsole)
#include "tst_democonsole.moc"
