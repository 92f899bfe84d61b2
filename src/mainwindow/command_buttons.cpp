// The main window's commands to the controller: connect, parameter write, the one-shot commands
// and the first-generation CAN cable box. The connect and the write run as timed sequences of
// the core; while one runs the window is busy (no tick, no input).

#include <QAbstractButton>
#include <QComboBox>
#include <QTabWidget>

#include "app/fixed_texts.h"
#include "app/profile_settings.h"
#include "app/string_table.h"
#include "core/commands/one_shot_commands.h"
#include "core/commands/refusal.h"
#include "core/params/param_state.h"
#include "core/protocol/link_flags.h"
#include "link/controller_link.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/parameter_pages.h"
#include "ui/prompts.h"
#include "ui/sounds.h"

namespace {

// Shown and hidden by the first-generation CAN cable box (1060 is only ever shown by it).
constexpr int kCableControls[] = {1066, 1060, 1047, 1077, 1085, 1086, 1087, 1038,
                                  1039, 1040, 1041, 1068, 1069, 1071, 1072};

// The download mode list's item for automatic parameter writing.
constexpr int kAutoParamWriteMode = 1;

// Shows the refusal's message; the text shown, empty when the refusal has none.
QString ShowRefusal(Refusal refusal) {
    const int message = static_cast<int>(refusal);
    if (message < 100) {
        return {};
    }
    const QString text = Tr(message);
    AppPrompts().Message(text);
    return text;
}

}  // namespace

void CTarvikDlg::OnConnectClicked() {
    if (Busy()) {
        return;
    }
    auto* button = Item<QAbstractButton>(1033);
    button->setEnabled(false);
    m_records->Begin(RecordOperation::kRead);
    // The button comes back only after the outcome's message has been closed.
    const Refusal refusal = m_connect->Start([this, button](ConnectOutcome outcome) {
        UpdateBusy();
        if (outcome == ConnectOutcome::kNoResponse) {
            const QString shown = Tr(119);
            m_records->Finish(RecordOperation::kRead, RecordOutcome::kFailed, shown);
            AppPrompts().Message(shown);
        } else {
            m_records->Finish(RecordOperation::kRead, RecordOutcome::kSuccess);
        }
        button->setEnabled(true);
        emit ConnectFinished(outcome);
        emit ConnectEnded();
    });
    if (refusal != Refusal::kNone) {
        // Refused before anything went to a controller: no operation on one, no record.
        ShowRefusal(refusal);
        m_records->Drop(RecordOperation::kRead);
        button->setEnabled(true);
        emit ConnectEnded();
        return;
    }
    UpdateBusy();
}

void CTarvikDlg::OnParamWriteClicked() {
    emit ParamWriteRequested();
    if (Busy()) {
        return;
    }
    const Refusal refusal = CheckParamWriteRefusal(*m_link, DisplayPageShown());
    if (refusal != Refusal::kNone) {
        ShowRefusal(refusal);
        m_records->Drop(RecordOperation::kWrite);
        return;
    }
    // The pages, then the main window; the first field that does not read stops everything.
    ShowPendingRead();
    ParameterValues values = m_values;
    const bool read = m_parameters->Read(values) && ReadMainWindow(values.m_mainWindow);
    if (read) {
        m_values = values;
    }
    const bool automatic = Item<QComboBox>(1030)->currentIndex() == kAutoParamWriteMode;
    m_records->Begin(RecordOperation::kWrite);
    m_paramWrite->Start(
        read,
        [values](int block) {
            CommandFrame frame = g_paramWriteFrames[static_cast<std::size_t>(block - 1)];
            EncodeParameterBlock(block, values, frame);
            g_paramWriteFrames[static_cast<std::size_t>(block - 1)] = frame;
            return frame;
        },
        [this, automatic](WriteOutcome outcome) {
            UpdateBusy();
            if (outcome == WriteOutcome::kNotSent) {
                // A field that did not read: the controller was not asked.
                m_records->Drop(RecordOperation::kWrite);
            } else {
                const bool ok = outcome == WriteOutcome::kAcknowledged;
                // The automatic mode says it with a sound; its record has the message's words.
                const QString words = Tr(ok ? 121 : 122);
                m_records->Finish(RecordOperation::kWrite,
                                  ok ? RecordOutcome::kSuccess : RecordOutcome::kFailed,
                                  automatic && ok ? QString() : words);
                if (automatic) {
                    m_sounds->Play(ok ? QStringLiteral("success.wav")
                                      : QStringLiteral("error.wav"));
                } else {
                    AppPrompts().Message(words);
                }
            }
            emit ParamWriteFinished(outcome);
        });
    UpdateBusy();
}

void CTarvikDlg::OnRestartControllerClicked() {
    const bool open = m_link->IsOpen();
    m_link->Write(RestartControllerFrame());
    if (open) {
        m_records->Record(RecordOperation::kRestart, RecordOutcome::kSuccess);
    }
}

void CTarvikDlg::OnRestartCableClicked() {
    const bool open = m_link->IsOpen();
    m_link->Write(RestartCableFrame());
    if (open) {
        m_records->Record(RecordOperation::kRestartCable, RecordOutcome::kSuccess);
    }
}

void CTarvikDlg::OnOfflineDownloadClicked() {
    m_link->Write(OfflineDownloadFrame());
}

void CTarvikDlg::OnFactoryRestoreClicked() {
    if (!m_link->IsOpen()) {
        return;
    }
    if (AppPrompts().Confirm(QString::fromUtf8(kFactoryRestoreConfirm))) {
        m_link->Write(RestoreFactoryFrame());
        m_records->Record(RecordOperation::kFactoryRestore, RecordOutcome::kSuccess);
    } else {
        m_records->Record(RecordOperation::kFactoryRestore, RecordOutcome::kCancelled,
                          m_records->Words(OperationRecords::OwnWords::kNotConfirmed));
    }
}

void CTarvikDlg::OnFactoryStoreClicked() {
    if (!m_link->IsOpen()) {
        return;
    }
    if (AppPrompts().Confirm(QString::fromUtf8(kFactoryStoreConfirm))) {
        m_link->Write(StoreFactoryFrame());
        m_records->Record(RecordOperation::kFactoryStore, RecordOutcome::kSuccess);
    } else {
        m_records->Record(RecordOperation::kFactoryStore, RecordOutcome::kCancelled,
                          m_records->Words(OperationRecords::OwnWords::kNotConfirmed));
    }
}

void CTarvikDlg::OnCanCableClicked() {
    emit CanCableClickRequested();
    const bool checked = Item<QAbstractButton>(1049)->isChecked();
    g_firstGenCable = checked ? 1 : 0;
    for (int id : kCableControls) {
        if (QWidget* control = Controls().Control(id); control && (checked || id != 1060)) {
            control->setVisible(checked);
        }
    }
    m_settings.SetFirstGenCable(checked ? 1 : 0);
}
