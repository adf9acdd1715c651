#include "core/recovery/FoundFileList.h"

namespace qv {

void MemoryFoundFileList::appendRow(const std::string& text, std::unique_ptr<FoundFile> file)
{
    Row row;
    row.text = text;
    if (file) {
        const bool directory = file->layout == FoundFile::Layout::Directory;
        row.lengthText = std::to_string(directory ? int32_t(file->entryLength) : file->length);
    }
    row.file = std::move(file);
    rows_.push_back(std::move(row));
}

std::vector<FoundFile> MemoryFoundFileList::checkedFiles() const
{
    std::vector<FoundFile> out;
    for (const Row& row : rows_)
        if (row.checked && row.file)
            out.push_back(*row.file);
    return out;
}

std::vector<FoundRow> MemoryFoundFileList::firstRows(int limit) const
{
    std::vector<FoundRow> out;
    for (const Row& row : rows_) {
        if (int(out.size()) >= limit)
            break;
        if (row.file)
            out.push_back({row.text, *row.file});
    }
    return out;
}

void MemoryFoundFileList::setAllChecked(bool checked)
{
    for (Row& row : rows_)
        row.checked = checked;
}

}  // namespace qv
