#pragma once

#include "device/configfields.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ConfigPacket;

// The consistency rules of the settings: combinations of inputs, outputs, remote
// control, cyclic mode and protections that cannot work together. The setup tab
// marks the fields of each violation; `orbix config set` refuses to write them.
class ConfigRules
{
public:
    static constexpr int kRuleCount = 9;

    // The eight settings the rules look at.
    struct Settings {
        int input1 = 0;
        int input2 = 0;
        int powerOutput = 0;
        int auxOutput = 0;
        bool remoteControl = false;
        bool cyclicMode = false;
        bool humidityProtection = false;
        bool fastProtection = false;

        static Settings of(const ConfigPacket &block);
        // From the words of the fields as wordOf gives them (the setup tab's editors).
        static Settings from(const std::function<int(ConfigFields::Id)> &wordOf);
    };

    // One violated condition: its rule (1..9) and the fields it marks, in marking order.
    struct Violation {
        int rule = 0;
        QVector<ConfigFields::Id> marked;
    };

    // The fields the check clears before it marks, in that order.
    static QVector<ConfigFields::Id> checkedFields();
    // Every violated condition, rules in order; empty when the settings can be written.
    static QVector<Violation> check(const Settings &s);
    // The rule (1..kRuleCount) in one sentence, in the interface's language; empty for
    // another number.
    static QString sentence(int rule);
    // The sentences of the rules broken, each once, in rule order; only of those that
    // mark field when it is given.
    static QStringList sentences(const QVector<Violation> &violations, int field = -1);
};
