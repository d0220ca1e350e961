#include <ledger/EventLogEntry.h>

#include <string>

#include "rookclient/Proxies.h"

bool CMixSetupExRookObject::CreatePredubMasterProcesses(int predub) {
    const bool sound = Image().CreatePredubMasterProcesses(predub);
    if (!sound) {
        CEventLogEntry entry;
        entry.ReportWarning(std::string(rookclient::model::kPdmMixedDynamicsWarning));
    }
    return sound;
}
