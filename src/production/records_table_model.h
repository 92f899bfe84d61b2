#pragma once
// The records as the records window lists them: newest first, one row per operation, the
// column titles in the run's language.

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include "records/operation_record.h"

// The names the window shows: in English the stored ones (the command line's words), in Chinese
// the window's own.
QString ShownOperation(RecordOperation operation, bool chinese);
QString ShownOutcome(RecordOutcome outcome, bool chinese);
QString ShownSource(const QString& source, bool chinese);

class RecordsTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        kStarted,
        kStation,
        kOperation,
        kSource,
        kOutcome,
        kReason,
        kImage,
        kBytes,
        kCheckValue,
        kVersions,
        kPort,
        kColumnCount
    };

    explicit RecordsTableModel(bool chinese, QObject* parent = nullptr);

    // Replaces the rows (`records` newest first, as a query gives them).
    void SetRecords(QList<OperationRecord> records);
    // A record that just arrived goes on top.
    void Prepend(const OperationRecord& record);
    const QList<OperationRecord>& Records() const { return m_records; }

    // The rows as CSV: a title line, then one line per record, fields quoted where needed.
    QString Csv() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString Text(const OperationRecord& record, int column) const;

    bool m_chinese;
    QList<OperationRecord> m_records;
};
