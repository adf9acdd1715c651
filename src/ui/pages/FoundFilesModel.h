#pragma once

#include "core/recovery/FoundFileList.h"

#include <QAbstractTableModel>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv::ui {

// The recovery page's list: a table of the found files with a check box in
// the name column and the length ("%d") in the second. The scan workers
// append through list() from their own thread; the rows wait there and
// reach the view in batches, at most one per kBatchMs, so a scan that finds
// a hundred thousand files costs the event loop a few hundred insertions
// rather than one per file. The saving workers read the checked rows
// through list() as well.
class FoundFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBatchMs = 100;
    // Sort keys: the name, and the length as a number.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit FoundFilesModel(QObject* parent = nullptr);
    ~FoundFilesModel() override;

    // What the workers are given as status->listControl.
    FoundFileList& list() { return list_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The record of a row (GUI thread).
    const FoundFile* file(int row) const;
    bool isChecked(int row) const;
    // The sum of the rows' lengths.
    uint64_t totalLength() const { return totalLength_; }
    // Sets or clears every row's check box with one change notification.
    void setAllChecked(bool checked);
    // Deletes every row and every row still waiting (no worker may run).
    void clear();
    // Moves the waiting rows into the table now (the end of a scan).
    void flush();

private:
    struct Row {
        std::string text;
        std::unique_ptr<FoundFile> file;
        bool checked = false;
    };

    class WorkerList : public FoundFileList {
    public:
        explicit WorkerList(FoundFilesModel& model) : model_(model) {}
        void appendRow(const std::string& text, std::unique_ptr<FoundFile> file) override;
        std::vector<FoundFile> checkedFiles() const override;
        int rowCount() const override;
        std::vector<FoundRow> firstRows(int limit) const override;

    private:
        FoundFilesModel& model_;
    };

    void scheduleFlush();

    // rows_ changes only on the GUI thread, under mutex_ so that a worker's
    // checkedFiles() reads a consistent table; waiting_ is filled by the
    // worker and emptied by flush(), both under mutex_.
    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    std::vector<Row> waiting_;
    bool flushScheduled_ = false;
    uint64_t totalLength_ = 0;
    WorkerList list_{*this};
};

}  // namespace qv::ui
