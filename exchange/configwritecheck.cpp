#include "exchange/configwritecheck.h"

#include "device/configfields.h"
#include "device/configpacket.h"
#include "exchange/configevent.h"

#include <QCoreApplication>

ConfigWriteCheck::ConfigWriteCheck() = default;
ConfigWriteCheck::~ConfigWriteCheck() = default;

void ConfigWriteCheck::reset()
{
    lastRead.reset();
    written.reset();
    afterFailure = false;
    found.clear();
}

ConfigWriteCheck::Outcome ConfigWriteCheck::onConfiguration(const ConfigPacket &block, int result)
{
    lastRead.reset(block.clone());
    if (result == ConfigEvent::Written) {
        written.reset(block.clone());
        afterFailure = false;
        return Outcome::Written;
    }
    if (result == ConfigEvent::NotWritten) {
        written.reset();
        afterFailure = true;
        return Outcome::NotWritten;
    }
    if (afterFailure) {
        afterFailure = false;
        return Outcome::RereadAfterFailure;
    }
    if (!written)
        return Outcome::Read;
    found.clear();
    for (ConfigFields::Id id : ConfigFields::differences(*written, block))
        found << QCoreApplication::translate("ConfigWriteCheck", "«%1» (%2): записано %3, на устройстве %4")
                     .arg(ConfigFields::label(id), ConfigFields::name(id))
                     .arg(ConfigFields::value(*written, id))
                     .arg(ConfigFields::value(block, id));
    written.reset();
    return found.isEmpty() ? Outcome::Confirmed : Outcome::Differs;
}
