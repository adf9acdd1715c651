#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace qv::ui {

// Asked before every operation that writes to the medium: OK is enabled
// only while the user has ticked the box.
class CWriteWarningDialog : public QDialog {
    Q_OBJECT
public:
    explicit CWriteWarningDialog(QWidget* parent = nullptr);

    // True when the user ticked the box and pressed OK.
    static bool Confirm(QWidget* parent);

    QCheckBox* checkBox() const { return check_; }
    QPushButton* okButton() const { return ok_; }

private:
    QCheckBox* check_;
    QPushButton* ok_;
};

}  // namespace qv::ui
