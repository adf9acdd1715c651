#pragma once

#include "core/charts/Gradient.h"
#include "core/report/Report.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>

class QLabel;

#include <functional>
#include <string>

namespace qv {
struct SharedContext;
class RunController;
class RunPresenter;
}

namespace qv::ui {

class CTransparentStatic;

// Base of every tool page: paints the header band (gradient, 32×32 icon,
// title) and the white body. The band is drawn once, at the page's first
// width, and kept; a wider page shows white to its right.
class TestPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 34;

    explicit TestPage(QWidget* parent = nullptr);

    // Set by the main window before the page is first shown.
    void setHeader(int iconId, int titleId);
    void setContext(SharedContext* context, RunController* runs);

    int headerIcon() const { return headerIcon_; }
    int headerTitle() const { return headerTitle_; }
    // Width of the cached band; 0 until the first paint.
    int headerCacheWidth() const { return header_.isNull() ? 0 : header_.width() / devicePixelRatioF(); }

    // Hooks the main window calls; a page overrides those it needs.
    // The selected drive changed (the information page refreshes).
    virtual void selectionChanged() {}
    // No drive is left.
    virtual void clearVolumeInfo() {}
    // The volume was formatted or reopened.
    virtual void RefreshVolumeInfo() {}
    // Start controls are available exactly when a drive is listed.
    virtual void updateStartControls(bool haveDevices) { (void)haveDevices; }
    // The main window is closing (never during a run).
    virtual void releaseResources() {}
    // Test reports: the page has a finished run whose figures stand, and
    // the report of that run with its pictures drawn.
    virtual bool canSaveReport() const { return false; }
    virtual Report makeReport() { return {}; }
    // The line a stopped run left; null before the first stop.
    QLabel* stopLine() const { return stopLine_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // A run's failure (or any page message): the product name as caption
    // and the stop icon, on the GUI thread.
    void showStopMessage(const QString& text);
    // The failure box of a run: the page's text, and below it what failed
    // on what when the worker said so.
    void showFailureBox(const std::string& message, const std::string& detail);

    // What a stopped run left (what it did, what the drive and its files
    // hold), on a line left of the start button until the next start.
    void showStopLine(const std::string& text);

    // The start button's handler: a stop while the presenter's run goes on;
    // nothing while a stopped worker has not ended; else, after the write
    // warning when the run writes to the medium, start().
    void startOrStop(RunPresenter* presenter, bool writes, const std::function<void()>& start);

    // A transparent label with a string-table text, bold for section
    // titles; a value text in the pages' value colour, RGB(0, 64, 223).
    CTransparentStatic* makeLabel(int textId, bool bold = false);
    CTransparentStatic* makeValue();

    SharedContext* context_ = nullptr;
    RunController* runs_ = nullptr;

private:
    void renderHeader(int width);

    QFont headerFont_;
    int headerIcon_ = -1;
    int headerTitle_ = -1;
    ColorRef headerColorFrom_ = Rgb(24, 64, 120);
    ColorRef headerColorTo_ = Rgb(255, 255, 255);
    QPixmap header_;
    QLabel* stopLine_ = nullptr;
};

}  // namespace qv::ui
