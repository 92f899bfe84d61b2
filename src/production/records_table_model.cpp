#include "production/records_table_model.h"

#include "records/record_csv.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <utility>

namespace {

constexpr const char* kTitles[RecordsTableModel::kColumnCount][2] = {
    {"开始时间", "Started"},   {"工位", "Station"},
    {"操作", "Operation"},     {"来源", "Source"},
    {"结果", "Outcome"},       {"原因", "Reason"},
    {"程序文件", "Image"},     {"已确认字节", "Bytes acknowledged"},
    {"校验值", "Check value"}, {"软件/硬件版本", "Software/hardware"},
    {"端口", "Port"},
};

// In the order of RecordOperation and RecordOutcome.
constexpr const char* kChineseOperations[] = {
    "读取", "写入", "下载", "恢复出厂设置", "存储出厂设置", "标定写入", "重启控制器", "重启调试线"};
constexpr const char* kChineseOutcomes[] = {"成功", "失败", "取消"};

}  // namespace

QString ShownOperation(RecordOperation operation, bool chinese) {
    if (!chinese)
        return OperationName(operation);
    return QString::fromUtf8(kChineseOperations[static_cast<std::size_t>(operation)]);
}

QString ShownOutcome(RecordOutcome outcome, bool chinese) {
    if (!chinese)
        return OutcomeName(outcome);
    return QString::fromUtf8(kChineseOutcomes[static_cast<std::size_t>(outcome)]);
}

QString ShownSource(const QString& source, bool chinese) {
    if (!chinese)
        return source;
    if (source == WindowSource())
        return QStringLiteral("窗口");
    for (int mode = 1; mode <= 3; ++mode)
        if (source == AutomaticModeSource(mode))
            return QStringLiteral("自动模式%1").arg(mode);
    const QString commandLine = CommandLineSource(QString());
    if (source.startsWith(commandLine))
        return QStringLiteral("命令行 ") + source.mid(commandLine.size());
    return source;
}

RecordsTableModel::RecordsTableModel(bool chinese, QObject* parent)
    : QAbstractTableModel(parent), m_chinese(chinese) {}

void RecordsTableModel::SetRecords(QList<OperationRecord> records) {
    beginResetModel();
    m_records = std::move(records);
    endResetModel();
}

void RecordsTableModel::Prepend(const OperationRecord& record) {
    beginInsertRows({}, 0, 0);
    m_records.prepend(record);
    endInsertRows();
}

int RecordsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_records.size());
}

int RecordsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString RecordsTableModel::Text(const OperationRecord& record, int column) const {
    switch (column) {
        case kStarted:
            return QDateTime::fromMSecsSinceEpoch(record.startedMs)
                .toLocalTime()
                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case kStation:
            return record.station;
        case kOperation:
            return ShownOperation(record.operation, m_chinese);
        case kSource:
            return ShownSource(record.source, m_chinese);
        case kOutcome:
            return ShownOutcome(record.outcome, m_chinese);
        case kReason:
            return record.reason;
        case kImage:
            if (record.imageName.isEmpty())
                return {};
            return QStringLiteral("%1 (%2, %3)")
                .arg(record.imageName)
                .arg(record.imageSize.value_or(0))
                .arg(record.imageSha256.left(12));
        case kBytes:
            return record.bytesAcknowledged ? QString::number(*record.bytesAcknowledged)
                                            : QString();
        case kCheckValue:
            return record.checkValue;
        case kVersions:
            if (record.softwareVersion.isEmpty() && record.hardwareVersion.isEmpty())
                return {};
            return record.softwareVersion + QLatin1Char('/') + record.hardwareVersion;
        case kPort:
            if (record.port.isEmpty())
                return {};
            return QStringLiteral("%1 %2%3")
                .arg(record.port)
                .arg(record.baud)
                .arg(record.can ? QStringLiteral(" CAN") : QString());
        default:
            return {};
    }
}

QVariant RecordsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_records.size())
        return {};
    const OperationRecord& record = m_records.at(index.row());
    if (role == Qt::DisplayRole)
        return Text(record, index.column());
    if (role == Qt::ToolTipRole && index.column() == kImage)
        return record.imageSha256;
    // A failure stands out in a long list of passes.
    if (role == Qt::ForegroundRole && index.column() == kOutcome &&
        record.outcome == RecordOutcome::kFailed)
        return QBrush(QColor(0xC0, 0x00, 0x00));
    return {};
}

QVariant RecordsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromUtf8(kTitles[section][m_chinese ? 0 : 1]);
}

QString RecordsTableModel::Csv() const {
    return RecordsCsv(m_records);
}
