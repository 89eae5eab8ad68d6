// Configuration block: the field table (registers, conversions, ranges, choice lists)
// and the consistency rules, without widgets.
#include "tests/device/packettestutil.h"

#include "device/configfields.h"
#include "device/configpacketv70.h"
#include "device/configrules.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"

#include <QtTest>

#include <limits>
#include <set>

namespace {

using F = ConfigFields;

quint16 registerValue(const DataPacket &p, quint32 reg)
{
    quint16 value = 0xDEAD;
    PacketRegisters::read(p, reg, value);
    return value;
}

// in1 in2 power aux remote cyclic humidity fast, as the rule rows give them.
ConfigRules::Settings settingsOf(const QVector<int> &v)
{
    ConfigRules::Settings s;
    s.input1 = v[0];
    s.input2 = v[1];
    s.powerOutput = v[2];
    s.auxOutput = v[3];
    s.remoteControl = v[4];
    s.cyclicMode = v[5];
    s.humidityProtection = v[6];
    s.fastProtection = v[7];
    return s;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void namedFieldsHitTheirRegister_data();
    void namedFieldsHitTheirRegister();
    void blocksHoldTheirVersionsFields_data();
    void blocksHoldTheirVersionsFields();
    void flagsReadAnyNonZero();
    void ratedCurrentToCounts_data();
    void ratedCurrentToCounts();
    void ratedCurrentShown_data();
    void ratedCurrentShown();
    void tensOfMilliseconds_data();
    void tensOfMilliseconds();
    void editorsBeyondTheWordClamp();
    void minCurrentCorrection_data();
    void minCurrentCorrection();
    void choiceListsMatchEditorRanges_data();
    void choiceListsMatchEditorRanges();
    void namedChoiceEntries_data();
    void namedChoiceEntries();
    void rulesMarkTheirFields_data();
    void rulesMarkTheirFields();
    void ruleSentences_data();
    void ruleSentences();
    void rulesReadTheBlocksFields();
};

void TestConfig::namedFieldsHitTheirRegister_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<quint32>("reg");
    QTest::addColumn<int>("word");
    QTest::addColumn<quint16>("stored");

    QTest::newRow("ratedCurrent") << int(F::RatedCurrent) << 5u << 500 << quint16(500);
    QTest::newRow("minCurrent") << int(F::MinCurrent) << 6u << 40 << quint16(40);
    QTest::newRow("doubleOverloadTime") << int(F::DoubleOverloadTime) << 9u << 120 << quint16(120);
    QTest::newRow("fastProtection") << int(F::FastProtection) << 13u << 1 << quint16(1);
    QTest::newRow("overloadReactionTime") << int(F::OverloadReactionTime) << 14u << 990 << quint16(990);
    QTest::newRow("brokenPhasesAllowed") << int(F::BrokenPhasesAllowed) << 15u << 2 << quint16(2);
    QTest::newRow("pt100Threshold") << int(F::Pt100Threshold) << 19u << 155 << quint16(155);
    QTest::newRow("cyclicPauseTime") << int(F::CyclicPauseTime) << 23u << 5940 << quint16(5940);
    QTest::newRow("auxOutputFunction") << int(F::AuxOutputFunction) << 27u << 7 << quint16(7);
    QTest::newRow("remoteControl") << int(F::RemoteControl) << 29u << 1 << quint16(1);
    QTest::newRow("imbalanceTripTime") << int(F::ImbalanceTripTime) << 30u << 2550 << quint16(2550);
    QTest::newRow("minCurrentCorrection") << int(F::MinCurrentCorrection) << 190u << -20 << quint16(0xFFEC);
    QTest::newRow("insulationThreshold") << int(F::InsulationThreshold) << 191u << 1 << quint16(1);
}

void TestConfig::namedFieldsHitTheirRegister()
{
    QFETCH(int, field);
    QFETCH(quint32, reg);
    QFETCH(int, word);
    QFETCH(quint16, stored);

    ConfigPacketV70 config;
    QVERIFY(F::setValue(config, F::Id(field), word));
    for (const RegisterRequest &r : config.requests()) {
        for (quint32 n = r.firstRegister; n < r.firstRegister + r.byteCount / 2; ++n)
            QCOMPARE(registerValue(config, n), n == reg ? stored : quint16(0));
    }
    QCOMPARE(F::value(config, F::Id(field)), word);
}

void TestConfig::blocksHoldTheirVersionsFields_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("fields");
    QTest::newRow("0") << 0 << 25;
    QTest::newRow("50") << 50 << 26;
    QTest::newRow("70") << 70 << 28;
}

// Every register of a block is one field of its version; the later fields are not in it.
void TestConfig::blocksHoldTheirVersionsFields()
{
    QFETCH(int, modification);
    QFETCH(int, fields);

    const std::unique_ptr<ConfigPacket> block = PacketFactory::configuration(modification);
    QCOMPARE(F::fieldsOf(block->version()).size(), fields);
    QCOMPARE(PacketRegisters::registerCount(*block), fields);
    std::set<quint32> registers;
    for (int i = 0; i < F::Count; ++i) {
        const auto id = F::Id(i);
        QCOMPARE(F::setValue(*block, id, 1), F::present(id, block->version()));
        if (F::present(id, block->version()))
            registers.insert(F::registerOf(id));
    }
    QCOMPARE(int(registers.size()), fields);
}

void TestConfig::flagsReadAnyNonZero()
{
    ConfigPacket config;
    QVERIFY(setRegisters(config, {{11, 5}, {12, 0}}));
    QVERIFY(config.autoRestart());
    QVERIFY(!config.phaseSequenceCheck());
    QCOMPARE(F::toEditor(F::AutoRestart, F::value(config, F::AutoRestart), 0), 1.0);
    QCOMPARE(F::shown(F::AutoRestart, 5, 0), QString("включено"));
    // A set flag is written as 1.
    QCOMPARE(F::fromEditor(F::AutoRestart, 1.0, 0), 1);
    QCOMPARE(F::fromEditor(F::AutoRestart, 0.0, 0), 0);
}

void TestConfig::ratedCurrentToCounts_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<int>("scale");
    QTest::addColumn<quint16>("counts");

    QTest::newRow("12.3 A, scale 10") << 12.3 << 10 << quint16(123);
    QTest::newRow("50 A, scale 1") << 50.0 << 1 << quint16(50);
    QTest::newRow("half rounds up") << 0.05 << 10 << quint16(1);
    // 12.499999999 rounds to 12.5 in single precision, so it is written as 13.
    QTest::newRow("single precision product") << 1.2499999999 << 10 << quint16(13);
    QTest::newRow("above the word clamps") << 10000.0 << 10 << quint16(65535);
    QTest::newRow("negative clamps to 0") << -3.0 << 10 << quint16(0);
}

void TestConfig::ratedCurrentToCounts()
{
    QFETCH(double, amps);
    QFETCH(int, scale);
    QFETCH(quint16, counts);

    QCOMPARE(F::ampsToCounts(amps, scale), counts);
    ConfigPacket config;
    QVERIFY(F::setValue(config, F::RatedCurrent, F::fromEditor(F::RatedCurrent, amps, scale)));
    QCOMPARE(registerValue(config, 5), counts);
}

void TestConfig::ratedCurrentShown_data()
{
    QTest::addColumn<quint16>("counts");
    QTest::addColumn<int>("scale");
    QTest::addColumn<double>("amps");

    QTest::newRow("scale 10") << quint16(123) << 10 << 12.3;
    QTest::newRow("scale 1") << quint16(84) << 1 << 84.0;
    QTest::newRow("scale 0 gives 0") << quint16(123) << 0 << 0.0;
}

void TestConfig::ratedCurrentShown()
{
    QFETCH(quint16, counts);
    QFETCH(int, scale);
    QFETCH(double, amps);

    ConfigPacket config;
    QVERIFY(setRegisters(config, {{5, counts}}));
    QCOMPARE(F::toEditor(F::RatedCurrent, F::value(config, F::RatedCurrent), scale), amps);
    QCOMPARE(config.ratedCurrent(), counts);
}

void TestConfig::tensOfMilliseconds_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<quint16>("word");
    QTest::addColumn<int>("tens");
    QTest::addColumn<quint16>("writtenBack");

    QTest::newRow("reaction 505 ms") << int(F::OverloadReactionTime) << quint16(505) << 50 << quint16(500);
    QTest::newRow("reaction 9990 ms") << int(F::OverloadReactionTime) << quint16(9990) << 999 << quint16(9990);
    QTest::newRow("imbalance 2555 ms") << int(F::ImbalanceTripTime) << quint16(2555) << 255 << quint16(2550);
    QTest::newRow("imbalance 9 ms") << int(F::ImbalanceTripTime) << quint16(9) << 0 << quint16(0);
}

void TestConfig::tensOfMilliseconds()
{
    QFETCH(int, field);
    QFETCH(quint16, word);
    QFETCH(int, tens);
    QFETCH(quint16, writtenBack);

    const auto id = F::Id(field);
    ConfigPacketV50 config;
    QVERIFY(setRegisters(config, {{F::registerOf(id), word}}));
    QCOMPARE(F::toEditor(id, F::value(config, id), 0), double(tens));
    QVERIFY(F::setValue(config, id, F::fromEditor(id, tens, 0)));
    QCOMPARE(registerValue(config, F::registerOf(id)), writtenBack);
}

// A number the word cannot hold is written as the nearest it can, never wrapped.
void TestConfig::editorsBeyondTheWordClamp()
{
    QCOMPARE(F::fromEditor(F::ImbalanceTripTime, 7000, 0), 65535);
    QCOMPARE(F::fromEditor(F::OverloadReactionTime, -3, 0), 0);
    QCOMPARE(F::fromEditor(F::MinCurrentCorrection, 5000.0, 0), 32767);
    QCOMPARE(F::fromEditor(F::MinCurrentCorrection, -5000.0, 0), -32768);
    QCOMPARE(F::fromEditor(F::MinCurrentCorrection, std::numeric_limits<double>::quiet_NaN(), 0), 0);
}

void TestConfig::minCurrentCorrection_data()
{
    QTest::addColumn<double>("shown");
    QTest::addColumn<quint16>("word");

    QTest::newRow("-0.5") << -0.5 << quint16(0xFFFB);
    QTest::newRow("0.7") << 0.7 << quint16(7);
    QTest::newRow("-2.0") << -2.0 << quint16(0xFFEC);
    QTest::newRow("2.0") << 2.0 << quint16(20);
    QTest::newRow("0") << 0.0 << quint16(0);
}

void TestConfig::minCurrentCorrection()
{
    QFETCH(double, shown);
    QFETCH(quint16, word);

    ConfigPacketV70 written;
    QVERIFY(F::setValue(written, F::MinCurrentCorrection, F::fromEditor(F::MinCurrentCorrection, shown, 0)));
    QCOMPARE(registerValue(written, 190), word);

    ConfigPacketV70 read; // as the next read brings it back
    QVERIFY(setRegisters(read, {{190, word}}));
    QCOMPARE(read.minCurrentCorrection(), shown);
    QCOMPARE(F::toEditor(F::MinCurrentCorrection, F::value(read, F::MinCurrentCorrection), 0), shown);
}

void TestConfig::choiceListsMatchEditorRanges_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("highestIndex");

    QTest::newRow("voltageTolerance") << int(F::VoltageTolerance) << 3;
    QTest::newRow("input1Function") << int(F::Input1Function) << 4;
    QTest::newRow("input2Function") << int(F::Input2Function) << 5;
    QTest::newRow("powerOutputFunction") << int(F::PowerOutputFunction) << 2;
    QTest::newRow("auxOutputFunction") << int(F::AuxOutputFunction) << 7;
    QTest::newRow("insulationThreshold") << int(F::InsulationThreshold) << 1;
}

void TestConfig::choiceListsMatchEditorRanges()
{
    QFETCH(int, field);
    QFETCH(int, highestIndex);

    const auto id = F::Id(field);
    QCOMPARE(F::kind(id), F::Kind::Choice);
    const QStringList texts = F::choices(id);
    QCOMPARE(texts.size(), highestIndex + 1);
    QStringList unique = texts;
    QCOMPARE(unique.removeDuplicates(), 0);
    const F::Range range = F::range(id, DeviceInfo());
    QCOMPARE(range.low, 0);
    QCOMPARE(range.high, highestIndex);
    QVERIFY(!F::choice(id, highestIndex).isEmpty());
    QVERIFY(F::choice(id, highestIndex + 1).isEmpty());
    QVERIFY(F::choice(id, -1).isEmpty());
}

void TestConfig::namedChoiceEntries_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("text");

    QTest::newRow("input 1 external alarm") << int(F::Input1Function) << int(F::Input1ExternalAlarm) << "Внешняя авария 1";
    QTest::newRow("input 1 two-wire") << int(F::Input1Function) << int(F::Input1TwoWireStart)
                                      << "Пуск(Двухпроводное управление)";
    QTest::newRow("input 1 three-wire") << int(F::Input1Function) << int(F::Input1ThreeWireStart)
                                        << "Пуск(Трёхпроводное управление)";
    QTest::newRow("input 1 forward") << int(F::Input1Function) << int(F::Input1Forward) << "Вращение вперёд";
    QTest::newRow("input 2 external alarm") << int(F::Input2Function) << int(F::Input2ExternalAlarm) << "Внешняя авария 2";
    QTest::newRow("input 2 two-wire") << int(F::Input2Function) << int(F::Input2TwoWireStart)
                                      << "Пуск(Двухпроводное управление)";
    QTest::newRow("input 2 stop") << int(F::Input2Function) << int(F::Input2ThreeWireStop)
                                  << "Стоп(Трёхпроводное управление)";
    QTest::newRow("input 2 backward") << int(F::Input2Function) << int(F::Input2Backward) << "Вращение назад";
    QTest::newRow("input 2 humidity") << int(F::Input2Function) << int(F::Input2Humidity) << "Датчик влажности";
    QTest::newRow("power star") << int(F::PowerOutputFunction) << int(F::PowerStar) << "Звезда";
    QTest::newRow("power forward") << int(F::PowerOutputFunction) << int(F::PowerForward) << "Вращение вперёд";
    QTest::newRow("aux remote") << int(F::AuxOutputFunction) << int(F::AuxRemote) << "Дистанционно упр. выход";
    QTest::newRow("aux delta") << int(F::AuxOutputFunction) << int(F::AuxDelta) << "Треугольник";
    QTest::newRow("aux backward") << int(F::AuxOutputFunction) << int(F::AuxBackward) << "Вращение назад";
    QTest::newRow("aux trip coil") << int(F::AuxOutputFunction) << int(F::AuxTripCoil) << "Управление расцепителем";
}

// The names the rules and the watch tab use stand for the entries the editors show.
void TestConfig::namedChoiceEntries()
{
    QFETCH(int, field);
    QFETCH(int, word);
    QFETCH(QString, text);
    QCOMPARE(F::choice(F::Id(field), word), text);
}

void TestConfig::rulesMarkTheirFields_data()
{
    // Settings: in1 in2 power aux remote cyclic humidity fast; the rules broken and the
    // fields they mark, in marking order.
    QTest::addColumn<QVector<int>>("settings");
    QTest::addColumn<QVector<int>>("rules");
    QTest::addColumn<QVector<int>>("marked");
    using V = QVector<int>;
    QTest::newRow("all off") << V {0, 0, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("1: two-wire start on both") << V {2, 2, 0, 0, 0, 0, 0, 0} << V {1, 2}
                                               << V {F::Input2Function, F::Input1Function, F::Input1Function,
                                                     F::Input2Function};
    QTest::newRow("1: two-wire start with remote") << V {2, 0, 0, 0, 1, 0, 0, 0} << V {1}
                                                   << V {F::RemoteControl, F::Input1Function};
    QTest::newRow("1 satisfied") << V {2, 0, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("2: input 1 three-wire") << V {3, 2, 0, 0, 0, 0, 0, 0} << V {2}
                                           << V {F::Input1Function, F::Input2Function};
    QTest::newRow("2: input 1 forward") << V {4, 2, 0, 0, 0, 0, 0, 0} << V {2}
                                        << V {F::Input1Function, F::Input2Function};
    QTest::newRow("2: remote") << V {1, 2, 0, 0, 1, 0, 0, 0} << V {2} << V {F::RemoteControl, F::Input2Function};
    QTest::newRow("2 satisfied") << V {1, 2, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("3: stop without start") << V {0, 3, 0, 0, 0, 0, 0, 0} << V {3}
                                           << V {F::Input1Function, F::Input2Function};
    QTest::newRow("3 satisfied") << V {3, 3, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("3: remote") << V {3, 3, 0, 0, 1, 0, 0, 0} << V {3} << V {F::RemoteControl, F::Input2Function};
    QTest::newRow("4: backward without forward") << V {1, 4, 0, 0, 0, 0, 0, 0} << V {4}
                                                 << V {F::Input1Function, F::Input2Function};
    QTest::newRow("4 satisfied") << V {4, 4, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("4: remote") << V {4, 4, 0, 0, 1, 0, 0, 0} << V {4} << V {F::RemoteControl, F::Input2Function};
    QTest::newRow("5: humidity input, protection off") << V {0, 5, 0, 0, 0, 0, 0, 0} << V {5}
                                                       << V {F::Input2Function, F::HumidityProtection};
    QTest::newRow("5: protection without input") << V {0, 0, 0, 0, 0, 0, 1, 0} << V {5}
                                                 << V {F::Input2Function, F::HumidityProtection};
    QTest::newRow("5 satisfied") << V {0, 5, 0, 0, 0, 0, 1, 0} << V {} << V {};
    QTest::newRow("6: remote and cyclic") << V {0, 0, 0, 0, 1, 1, 0, 0} << V {6} << V {F::RemoteControl, F::CyclicMode};
    QTest::newRow("6 satisfied: cyclic alone") << V {0, 0, 0, 0, 0, 1, 0, 0} << V {} << V {};
    QTest::newRow("7: star, aux none") << V {0, 0, 1, 0, 0, 0, 0, 0} << V {7}
                                       << V {F::PowerOutputFunction, F::AuxOutputFunction};
    QTest::newRow("7: delta alone") << V {0, 0, 0, 5, 0, 0, 0, 0} << V {7}
                                    << V {F::PowerOutputFunction, F::AuxOutputFunction};
    QTest::newRow("7 satisfied") << V {0, 0, 1, 5, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("8: forward alone") << V {0, 0, 2, 0, 0, 0, 0, 0} << V {8}
                                      << V {F::PowerOutputFunction, F::AuxOutputFunction};
    QTest::newRow("8: backward alone") << V {0, 0, 0, 6, 0, 0, 0, 0} << V {8}
                                       << V {F::PowerOutputFunction, F::AuxOutputFunction};
    QTest::newRow("8 satisfied") << V {0, 0, 2, 6, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("9: trip coil without fast") << V {0, 0, 0, 7, 0, 0, 0, 0} << V {9}
                                               << V {F::FastProtection, F::AuxOutputFunction};
    QTest::newRow("9: fast without trip coil") << V {0, 0, 0, 0, 0, 0, 0, 1} << V {9}
                                               << V {F::FastProtection, F::AuxOutputFunction};
    QTest::newRow("9 satisfied") << V {0, 0, 0, 7, 0, 0, 0, 1} << V {} << V {};
    QTest::newRow("three-wire start alone is accepted") << V {3, 0, 0, 0, 0, 0, 0, 0} << V {} << V {};
    QTest::newRow("two rules at once") << V {2, 2, 0, 0, 1, 0, 0, 0} << V {1, 1, 2, 2}
                                       << V {F::Input2Function, F::Input1Function, F::RemoteControl, F::Input1Function,
                                             F::Input1Function, F::Input2Function, F::RemoteControl,
                                             F::Input2Function};
}

void TestConfig::rulesMarkTheirFields()
{
    QFETCH(QVector<int>, settings);
    QFETCH(QVector<int>, rules);
    QFETCH(QVector<int>, marked);

    QVector<int> gotRules;
    QVector<int> gotMarked;
    for (const ConfigRules::Violation &v : ConfigRules::check(settingsOf(settings))) {
        gotRules << v.rule;
        for (F::Id id : v.marked) {
            gotMarked << id;
            QVERIFY2(ConfigRules::checkedFields().contains(id), "a marked field is cleared before the next check");
        }
    }
    QCOMPARE(gotRules, rules);
    QCOMPARE(gotMarked, marked);
    const std::set<int> distinct(rules.begin(), rules.end());
    QCOMPARE(ConfigRules::sentences(ConfigRules::check(settingsOf(settings))).size(), int(distinct.size()));
}

void TestConfig::ruleSentences_data()
{
    QTest::addColumn<QVector<int>>("settings");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("sentence");
    using V = QVector<int>;
    QTest::newRow("1") << V {2, 2, 0, 0, 0, 0, 0, 0} << int(F::Input1Function)
                       << "Вход 1 «Пуск(Двухпроводное управление)» не допускает такой же пуск на входе 2 и "
                          "дистанционное управление.";
    QTest::newRow("2") << V {4, 2, 0, 0, 0, 0, 0, 0} << int(F::Input2Function)
                       << "Вход 2 «Пуск(Двухпроводное управление)» не допускает пуск или вращение на входе 1 и "
                          "дистанционное управление.";
    QTest::newRow("3") << V {0, 3, 0, 0, 0, 0, 0, 0} << int(F::Input1Function)
                       << "Вход 2 «Стоп(Трёхпроводное управление)» требует вход 1 «Пуск(Трёхпроводное управление)» "
                          "и не допускает дистанционное управление.";
    QTest::newRow("4") << V {4, 4, 0, 0, 1, 0, 0, 0} << int(F::RemoteControl)
                       << "Вход 2 «Вращение назад» требует вход 1 «Вращение вперёд» и не допускает дистанционное "
                          "управление.";
    QTest::newRow("5") << V {0, 0, 0, 0, 0, 0, 1, 0} << int(F::HumidityProtection)
                       << "Вход 2 «Датчик влажности» выбирается тогда и только тогда, когда разрешены защиты по "
                          "датчику влажности.";
    QTest::newRow("6") << V {0, 0, 0, 0, 1, 1, 0, 0} << int(F::CyclicMode)
                       << "Дистанционное управление и циклическая работа по таймеру не разрешаются вместе.";
    QTest::newRow("7") << V {0, 0, 1, 0, 0, 0, 0, 0} << int(F::PowerOutputFunction)
                       << "Силовой выход «Звезда» и дополнительный выход «Треугольник» выбираются только вместе.";
    QTest::newRow("8") << V {0, 0, 0, 6, 0, 0, 0, 0} << int(F::AuxOutputFunction)
                       << "Силовой выход «Вращение вперёд» и дополнительный выход «Вращение назад» выбираются "
                          "только вместе.";
    QTest::newRow("9") << V {0, 0, 0, 0, 0, 0, 0, 1} << int(F::FastProtection)
                       << "Быстродействующая защита разрешается тогда и только тогда, когда дополнительный выход — "
                          "«Управление расцепителем».";
}

// The sentence goes on the fields the rule marks and on the write, once; not on others.
void TestConfig::ruleSentences()
{
    QFETCH(QVector<int>, settings);
    QFETCH(int, field);
    QFETCH(QString, sentence);

    const QVector<ConfigRules::Violation> violations = ConfigRules::check(settingsOf(settings));
    QVERIFY(ConfigRules::sentences(violations, field).contains(sentence));
    QVERIFY(ConfigRules::sentences(violations).contains(sentence));
    QVERIFY(ConfigRules::sentences(violations, F::SwitchDelay).isEmpty());
    QCOMPARE(ConfigRules::sentence(QTest::currentDataTag()[0] - '0'), sentence);
}

// What `orbix config set` checks: the eight fields read from the block's own registers.
void TestConfig::rulesReadTheBlocksFields()
{
    ConfigPacket block;
    QVERIFY(setRegisters(block, {{24, 2}, {25, 3}, {26, 1}, {27, 5}, {29, 1}, {21, 1}, {17, 1}, {13, 1}}));
    const ConfigRules::Settings s = ConfigRules::Settings::of(block);
    QCOMPARE(QVector<int>({s.input1, s.input2, s.powerOutput, s.auxOutput}), QVector<int>({2, 3, 1, 5}));
    QVERIFY(s.remoteControl && s.cyclicMode && s.humidityProtection && s.fastProtection);
    QVERIFY(!ConfigRules::Settings::of(ConfigPacket()).remoteControl);
    QVERIFY(ConfigRules::sentence(0).isEmpty());
    QVERIFY(ConfigRules::sentence(ConfigRules::kRuleCount + 1).isEmpty());
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
