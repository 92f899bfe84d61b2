#pragma once
// The window's production records: a record begins when an operation on the controller starts,
// learns the port, the image or the parameter set on the way, and is handed whole to the
// program's recorder when the outcome the user sees is decided. The window's handlers only say
// when; everything a record holds is gathered here.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>

#include "download/download_control.h"
#include "records/operation_record.h"

class ControllerLink;
class CTarvikDlg;

// The station the window's records name: --station, else the per-user setting, else the host
// name. Set by the start-up; unset, the host name.
void SetRecordStation(const QString& name);
QString RecordStation();
// Where the window's records go, as given (--records, else the per-user setting; empty: the
// default file). The station window hands it to its workers unchanged.
void SetRecordsSetting(const QString& where);
QString RecordsSetting();

class OperationRecords : public QObject {
    Q_OBJECT

public:
    // How often a running transfer is looked at: the sender drops its busy flag without a
    // report when it gives up.
    static constexpr int kTransferPollMs = 100;

    OperationRecords(CTarvikDlg& window, ControllerLink& link, DownloadControl& download);
    // Whatever is still under way ends here, as it stands, and goes to the recorder: the
    // program's end commits only what was handed over.
    ~OperationRecords() override;

    // What starts while `run` runs was started by automatic mode `mode`, not by hand.
    void RunAutomatic(int mode, const std::function<void()>& run);

    // An operation that takes time: begun when it starts, finished when its outcome is known.
    void Begin(RecordOperation operation);
    void Finish(RecordOperation operation, RecordOutcome outcome, const QString& shown = {});
    // Nothing reached the controller: no record, whatever was said. A refusal is not an
    // operation on a controller, and the day's counts count controllers.
    void Drop(RecordOperation operation);
    // An operation that is over as soon as it was sent (or declined).
    void Record(RecordOperation operation, RecordOutcome outcome, const QString& shown = {});

    // The tool's own words for a record that failed or was cancelled with nothing said, in the
    // window's language.
    enum class OwnWords {
        kWindowClosed,
        kNotConfirmed,
        kRequestReplaced,
        kTransferStopped,
        kTransferPortClosed,
        kTransferReplaced,
        kTransferWindowClosed,
    };
    QString Words(OwnWords words) const;

private:
    OperationRecord Start(RecordOperation operation) const;
    void Complete(OperationRecord record, RecordOutcome outcome, const QString& shown);
    void Submit(OperationRecord record);
    void NoteVersions(OperationRecord& record) const;
    void NotePort(const QString& path);
    void BeginDownload(bool automatic);
    void TransferBegun(const QString& imageName, const QByteArray& image);
    void DownloadRefused(const QString& shown, DownloadControl::StartEnd end);
    // Why a transfer is looked at: the poll (it ends when the sender stops), or an end that
    // comes whatever the sender's busy flag says (the port is gone, a new transfer replaced
    // it, the window closes).
    enum class TransferCheck { kPoll, kPortClosed, kReplaced, kWindowClosed };
    void CheckTransfer(TransferCheck why = TransferCheck::kPoll);
    void EndTransfer(RecordOutcome outcome, const QString& shown);

    CTarvikDlg& m_window;
    ControllerLink& m_link;
    DownloadControl& m_download;
    QString m_source;
    // What the port was opened with.
    QString m_port;
    int m_baud = 0;
    bool m_can = false;
    // A download request waits here (as kDownload) until its transfer begins.
    std::map<RecordOperation, OperationRecord> m_pending;
    // The download whose transfer runs; apart from the request, so that a second request
    // cannot take over the first one's record nor be closed by the first one's end.
    std::optional<OperationRecord> m_transfer;
    QTimer m_transferPoll;
    qint64 m_imageSize = 0;
    bool m_finalAcknowledged = false;
};
