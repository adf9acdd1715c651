#include "ui/pages/FoundFilesModel.h"

#include "ui/app/Text.h"

#include <QMetaObject>
#include <QTimer>

namespace qv::ui {
namespace {

int32_t rowLength(const FoundFile& file)
{
    return file.layout == FoundFile::Layout::Directory ? int32_t(file.entryLength) : file.length;
}

}  // namespace

FoundFilesModel::FoundFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

FoundFilesModel::~FoundFilesModel() = default;

void FoundFilesModel::WorkerList::appendRow(const std::string& text, std::unique_ptr<FoundFile> file)
{
    bool schedule = false;
    {
        std::lock_guard<std::mutex> lock(model_.mutex_);
        model_.waiting_.push_back(Row{text, std::move(file), false});
        schedule = !model_.flushScheduled_;
        model_.flushScheduled_ = true;
    }
    if (schedule)
        model_.scheduleFlush();
}

std::vector<FoundFile> FoundFilesModel::WorkerList::checkedFiles() const
{
    std::lock_guard<std::mutex> lock(model_.mutex_);
    std::vector<FoundFile> out;
    for (const Row& row : model_.rows_)
        if (row.checked && row.file)
            out.push_back(*row.file);
    return out;
}

std::vector<FoundRow> FoundFilesModel::WorkerList::firstRows(int limit) const
{
    std::lock_guard<std::mutex> lock(model_.mutex_);
    std::vector<FoundRow> out;
    for (const std::vector<Row>* rows : {&model_.rows_, &model_.waiting_})
        for (const Row& row : *rows) {
            if (int(out.size()) >= limit)
                return out;
            if (row.file)
                out.push_back({row.text, *row.file});
        }
    return out;
}

int FoundFilesModel::WorkerList::rowCount() const
{
    std::lock_guard<std::mutex> lock(model_.mutex_);
    return int(model_.rows_.size() + model_.waiting_.size());
}

void FoundFilesModel::scheduleFlush()
{
    // One posted call per batch: the first waiting row of a batch arms a
    // timer on the GUI thread; the rows that follow only join the batch.
    QMetaObject::invokeMethod(
        this, [this] { QTimer::singleShot(kBatchMs, this, &FoundFilesModel::flush); }, Qt::QueuedConnection);
}

void FoundFilesModel::flush()
{
    std::vector<Row> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(waiting_);
        flushScheduled_ = false;
    }
    if (batch.empty())
        return;
    const int first = int(rows_.size());
    beginInsertRows(QModelIndex(), first, first + int(batch.size()) - 1);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_.reserve(rows_.size() + batch.size());
        for (Row& row : batch) {
            if (row.file)
                totalLength_ += uint32_t(rowLength(*row.file));
            rows_.push_back(std::move(row));
        }
    }
    endInsertRows();
}

void FoundFilesModel::clear()
{
    beginResetModel();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_.clear();
        waiting_.clear();
        totalLength_ = 0;
    }
    endResetModel();
}

int FoundFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int FoundFilesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

const FoundFile* FoundFilesModel::file(int row) const
{
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)].file.get() : nullptr;
}

bool FoundFilesModel::isChecked(int row) const
{
    return row >= 0 && row < int(rows_.size()) && rows_[size_t(row)].checked;
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[size_t(index.row())];
    const int32_t length = row.file ? rowLength(*row.file) : 0;
    if (index.column() == 0) {
        switch (role) {
        case Qt::DisplayRole:
        case SortRole: return QString::fromStdString(row.text);
        case Qt::CheckStateRole: return row.checked ? Qt::Checked : Qt::Unchecked;
        default: return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole: return QString::number(length);
    case SortRole: return qlonglong(length);
    case Qt::TextAlignmentRole: return int(Qt::AlignRight | Qt::AlignVCenter);
    default: return {};
    }
}

bool FoundFilesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= int(rows_.size()))
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_[size_t(index.row())].checked = value.toInt() == Qt::Checked;
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags FoundFilesModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant FoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return section == 0 ? Text(145) : Text(149);
    if (role == Qt::TextAlignmentRole)
        return int((section == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    return {};
}

void FoundFilesModel::setAllChecked(bool checked)
{
    if (rows_.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Row& row : rows_)
            row.checked = checked;
    }
    emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, 0), {Qt::CheckStateRole});
}

}  // namespace qv::ui
