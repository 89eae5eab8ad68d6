#pragma once

#include "configfields.h"

#include <QStringList>

// Texts of the settings that are stored as an index into a list of choices, in the
// interface's language (Russian without a translator);
// entry i is the text of register value i.
class ConfigChoices
{
public:
    enum Field {
        VoltageTolerance, Input1Function, Input2Function, PowerOutputFunction,
        AuxOutputFunction, InsulationThreshold
    };

    // The list of a field of the block; false for a field that is no choice.
    static bool of(ConfigFields::Id id, Field &field);
    static QStringList texts(Field field);
    // The text of one stored value; empty when the value is not in the list.
    static QString text(Field field, int value);
};
