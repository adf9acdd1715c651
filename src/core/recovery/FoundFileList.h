#pragma once

#include "core/recovery/FoundFile.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

// A row as the list shows it: its text and a copy of its record.
struct FoundRow {
    std::string text;
    FoundFile file;
};

// The recovery list that the scan workers append rows to and the saving
// workers read checked rows from. Each row owns its FoundFile. The GUI's
// implementation stands behind the page's list view and runs these calls on
// the GUI thread; workers call them from their own thread.
class FoundFileList {
public:
    virtual ~FoundFileList() = default;

    // Appends a row: its text (name, or path and name), the length as the
    // second column, and the record it owns. New rows are unchecked.
    virtual void appendRow(const std::string& text, std::unique_ptr<FoundFile> file) = 0;

    // Copies of the records of the checked rows, in list order.
    virtual std::vector<FoundFile> checkedFiles() const = 0;

    virtual int rowCount() const = 0;
    // Copies of the first `limit` rows, in list order.
    virtual std::vector<FoundRow> firstRows(int limit) const = 0;
};

// The plain in-memory list of the core and the command-line tool.
class MemoryFoundFileList : public FoundFileList {
public:
    struct Row {
        std::string text;
        std::string lengthText;
        bool checked = false;
        std::unique_ptr<FoundFile> file;
    };

    void appendRow(const std::string& text, std::unique_ptr<FoundFile> file) override;
    std::vector<FoundFile> checkedFiles() const override;
    int rowCount() const override { return int(rows_.size()); }
    std::vector<FoundRow> firstRows(int limit) const override;

    const Row& row(int index) const { return rows_.at(size_t(index)); }
    void setChecked(int index, bool checked) { rows_.at(size_t(index)).checked = checked; }
    void setAllChecked(bool checked);
    // Deletes every row and its record (a new scan starts).
    void clear() { rows_.clear(); }

private:
    std::vector<Row> rows_;
};

}  // namespace qv
