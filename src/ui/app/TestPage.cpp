#include "ui/app/TestPage.h"

#include "charts/DrawGradient.h"
#include "core/run/RunPresenter.h"
#include "core/run/SharedContext.h"
#include "ui/app/Icons.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/app/WriteWarningDialog.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

namespace qv::ui {

TestPage::TestPage(QWidget* parent) : QWidget(parent), headerFont_(font())
{
    headerFont_.setPixelSize(17);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TestPage::setHeader(int iconId, int titleId)
{
    headerIcon_ = iconId;
    headerTitle_ = titleId;
}

void TestPage::setContext(SharedContext* context, RunController* runs)
{
    context_ = context;
    runs_ = runs;
}

void TestPage::showStopMessage(const QString& text)
{
    ShowMessage(this, MessageKind::Error, text, context_ ? QString::fromUtf8(context_->appTitle) : QString());
}

void TestPage::showFailureBox(const std::string& message, const std::string& detail)
{
    QString text = QString::fromStdString(message);
    if (!detail.empty())
        text += QLatin1Char('\n') + QString::fromStdString(detail);
    showStopMessage(text);
}

namespace {

// The stop line keeps clear of the start button at the bottom right.
constexpr int kStopLineMargin = 10;
constexpr int kStopLineRight = 130;
constexpr int kStopLineHeight = 44;

}  // namespace

void TestPage::showStopLine(const std::string& text)
{
    if (!stopLine_) {
        stopLine_ = new QLabel(this);
        stopLine_->setWordWrap(true);
        stopLine_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        stopLine_->setAutoFillBackground(true);
    }
    stopLine_->setText(QString::fromStdString(text));
    stopLine_->setToolTip(stopLine_->text());
    stopLine_->setGeometry(kStopLineMargin, height() - kStopLineMargin - kStopLineHeight,
                           std::max(0, width() - kStopLineMargin - kStopLineRight), kStopLineHeight);
    stopLine_->raise();
    stopLine_->show();
}

void TestPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (stopLine_)
        stopLine_->setGeometry(kStopLineMargin, height() - kStopLineMargin - kStopLineHeight,
                               std::max(0, width() - kStopLineMargin - kStopLineRight), kStopLineHeight);
}

void TestPage::startOrStop(RunPresenter* presenter, bool writes, const std::function<void()>& start)
{
    if (!presenter)
        return;
    if (presenter->running()) {
        presenter->Stop();
        return;
    }
    if (presenter->active())
        return;
    if (writes && !CWriteWarningDialog::Confirm(this))
        return;
    if (stopLine_)
        stopLine_->hide();
    start();
}

void TestPage::renderHeader(int width)
{
    const qreal ratio = devicePixelRatioF();
    header_ = QPixmap(QSize(width, kHeaderHeight) * ratio);
    header_.setDevicePixelRatio(ratio);
    header_.fill(Qt::white);
    QPainter p(&header_);
    charts::DrawGradient(p, 1, 1, width - 1, 26, headerColorFrom_, headerColorTo_, charts::kGradientColumns);
    if (headerIcon_ > 0) {
        const QPixmap icon = ResourcePixmap(headerIcon_, 32);
        if (!icon.isNull())
            p.drawPixmap(2, 2, 32, 32, icon);
    }
    if (headerTitle_ != -1) {
        p.setFont(headerFont_);
        p.setPen(Qt::white);
        const QFontMetrics metrics(headerFont_);
        const int y = (26 - metrics.height()) / 2;
        p.drawText(36, y + metrics.ascent(), Text(headerTitle_));
    }
}

void TestPage::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect client = rect();
    p.fillRect(QRect(0, kHeaderHeight, client.width(), client.height() - kHeaderHeight), Qt::white);
    if (header_.isNull())
        renderHeader(client.width());
    const int cached = headerCacheWidth();
    if (client.width() > cached)
        p.fillRect(QRect(cached, 0, client.width() - cached, kHeaderHeight), Qt::white);
    p.drawPixmap(0, 0, header_);
}

CTransparentStatic* TestPage::makeLabel(int textId, bool bold)
{
    auto* label = new CTransparentStatic(this);
    label->SetLabelText(Text(textId));
    label->SetTransparent();
    if (bold)
        label->SetBold(true);
    return label;
}

CTransparentStatic* TestPage::makeValue()
{
    auto* value = new CTransparentStatic(this);
    value->SetTransparent();
    value->SetLabelColor(Rgb(0, 64, 223));
    return value;
}

}  // namespace qv::ui
