#pragma once

#include <QDialog>

namespace qv::ui {

class CTransparentStatic;

// The product's name, version and web page on white, with the large
// application icon.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    CTransparentStatic* link() const { return link_; }

private:
    CTransparentStatic* link_;
};

}  // namespace qv::ui
