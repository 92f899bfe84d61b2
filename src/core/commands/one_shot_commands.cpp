#include "core/commands/one_shot_commands.h"

#include "core/protocol/link_flags.h"

CommandFrame RestartControllerFrame() {
    return MakeSealedCommand(command_letters::kRestartController);
}

CommandFrame RestartCableFrame() {
    return MakeSealedCommand(command_letters::kRestartCable);
}

CommandFrame OfflineDownloadFrame() {
    return MakeSealedCommand(g_firstGenCable == 1 ? command_letters::kOfflineFirstGen
                                                  : command_letters::kOffline);
}

CommandFrame RestoreFactoryFrame() {
    return MakeSealedCommand(command_letters::kRestoreFactory);
}

CommandFrame StoreFactoryFrame() {
    return MakeSealedCommand(command_letters::kStoreFactory);
}

CommandFrame BootEntryFrame(unsigned voltageCalibValue) {
    return MakeSealedCommand(voltageCalibValue == kBootEntryTMarker
                                 ? command_letters::kStartDownloadT
                                 : command_letters::kStartDownload);
}
