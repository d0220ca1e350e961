#include "AttachTable.h"

namespace rookd {
namespace {

// Attach command -> server object name, one line per proxy. The engineering-report proxies
// share 37; the offline I/O proxies attach with their own codes to the on-line objects. The
// gang-data proxy's object is named by its client, so its instances share one object here.
constexpr AttachEntry kAttaches[] = {
    {285, "AES960Rook"},
    {287, "AESConfigListRook"},
    {268, "AnalogDesignRookObject"},
    {245, "AFFilingRook"},
    {244, "AFListRook"},
    {246, "AFNetworkFilingRook"},
    {38, "AutomationDataRook"},
    {0, "AutomationRook"},
    {291, "CBFConfigListRook"},
    {296, "CBFRook"},
    {220, "CChannelMapRook"},
    {192, "ClientMonitorRook"},
    {28, "ConsoleSetupListRook"},
    {29, "CurrentConsoleSetupRook"},
    {195, "CurrentPassRookObject"},
    {140, "DefaultValuesListRook"},
    {136, "DefaultValuesRook"},
    {265, "DeskSetupRookObject"},
    {187, "DeskSizeRookObject"},
    {25, "Rook"},
    {233, "EDLListRook"},
    {37, "EngineeringReportRook"},
    {241, "AutoExtractListRook"},
    {301, "FaderAlloc"},
    {270, "FaderDirRookZ9"},
    {278, "FlashUpZ9RRook"},
    {72, "FrameRateRook"},
    {167, "FunctionKeysRook"},
    {209, "GPIConfigListRook"},
    {206, "GPIConfigRookObject"},
    {224, "GangDataRook"},
    {280, "GenericRookserverFSRookObject"},
    {279, "GenericRookserverRookObject"},
    {20, "GlideTimesRook"},
    {90, "HomePathRook"},
    {87, "IOConfigListRook"},
    {83, "IOConfigRook"},
    {108, "IODefinitionsRook"},
    {67, "IORoutingRook"},
    {290, "JoyListRook"},
    {13, "LabelListRook"},
    {161, "MCSRookObject"},
    {179, "MSUVersionRookObject "},
    {151, "MacroDesignerRook"},
    {116, "MeterDesignerListRook"},
    {112, "MeterDesignerRook"},
    {276, "MicLineRook"},
    {194, "MixEditRookObject"},
    {156, "MixPassAutomationFileRook"},
    {22, "MixSetupExtendedRook"},
    {172, "MixStatisticsRookObject"},
    {143, "MultipleAutomationRook"},
    {193, "NewMixPassTreeRookObject"},
    {215, "Nexus Routing"},
    {317, "IOConfigRook"},
    {316, "IORoutingRook"},
    {311, "OfflineMSUInterrogatorRook"},
    {49, "OperatingStylesRook"},
    {124, "PartitionSettingsRook"},
    {51, "PathControlsRook"},
    {36, "PathRouteRook"},
    {119, "PathVerifierRook"},
    {147, "PathsInPartitionRook"},
    {33, "ProcessListRook"},
    {254, "RecallDataRook"},
    {262, "RecallDataRookZ9"},
    {227, "RecallListRook"},
    {226, "RecallRook"},
    {253, "RecallSoloRook"},
    {261, "RecallSoloRookZ9"},
    {171, "SafetyNetRookObject"},
    {93, "SnapshotListRook"},
    {92, "SnapshotRook"},
    {145, "StemContentsRook"},
    {304, "StemMixer"},
    {307, "StemMon"},
    {221, "CStudioConfigRook"},
    {148, "SurroundDesignerListRook"},
    {129, "SurroundStackRook"},
    {283, "SurroundZ9RRook"},
    {155, "SystemSetupRook"},
    {52, "TallisPrefsRook"},
    {3, "TimecodeRook"},
    {110, "TimeSlotLayoutRook"},
    {4, "TouchSenseRook"},
    {273, "TrimControlRookObject"},
    {173, "WQCalibrationRookObject"},
    {174, "WQDiagnosticsRookObject"},
};

}  // namespace

std::span<const AttachEntry> AttachTable() {
    return kAttaches;
}

std::string_view ObjectOfAttach(uint32_t command) {
    for (const AttachEntry& entry : kAttaches) {
        if (entry.command == command) {
            return entry.object;
        }
    }
    return {};
}

}  // namespace rookd
