#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

namespace qv {
struct SharedContext;
}

namespace qv::ui {

// The drawn page list on the left of the main window: up to ten items of
// 56-pixel rows, each pre-rendered in a normal and a selected picture.
class CNavigationBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxItems = 10;
    static constexpr int kItemHeight = 56;

    explicit CNavigationBar(QWidget* parent = nullptr);

    // Set by the owner; the bar reads the run state through it.
    void setContext(const SharedContext* context) { context_ = context; }

    // Ignored once ten items exist. The pictures are rendered now, at the
    // bar's present width.
    void AddItem(int index, const QString& title, int normalIcon, int selectedIcon);

    int itemCount() const { return int(items_.size()); }
    int currentItem() const { return current_; }
    // Item index under a click at client row y (the bar's own rule).
    static int ItemAt(int y) { return (y + 1) / kItemHeight; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user picked another item while no operation runs.
    void pageSelected(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Item {
        int index = 0;
        QString title;
        int normalIcon = 0;
        int selectedIcon = 0;
        QImage normal;
        QImage selected;
    };
    QImage renderItem(const Item& item, bool selected) const;

    std::vector<Item> items_;
    int current_ = 0;
    QFont font_;
    const SharedContext* context_ = nullptr;
};

}  // namespace qv::ui
