// The write-warning dialog, the transparent label, the colour legend and
// the About box's link.
#include "ui/app/AboutDialog.h"
#include "ui/app/ColorLegend.h"
#include "ui/app/TransparentStatic.h"
#include "ui/app/WriteWarningDialog.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QUrl>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace qv;
using namespace qv::ui;

namespace {

// A parent with a vertical two-colour background, as the main window's band.
class BandParent : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, QColor(144, 176, 240));
        p.fillRect(rect(), g);
    }
};

}  // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class SmallControlsTest : public QObject {
    Q_OBJECT
private slots:
    void warningOkFollowsItsCheckBox()
    {
        CWriteWarningDialog dialog;
        QVERIFY(!dialog.okButton()->isEnabled());
        QVERIFY(!dialog.checkBox()->isChecked());
        dialog.checkBox()->click();
        QVERIFY(dialog.okButton()->isEnabled());
        dialog.checkBox()->click();
        QVERIFY(!dialog.okButton()->isEnabled());
    }

    void warningConfirmsOnlyWithTheBoxTicked()
    {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CWriteWarningDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->checkBox()->click();
            dialog->okButton()->click();
        });
        QVERIFY(CWriteWarningDialog::Confirm(nullptr));
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<CWriteWarningDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->reject();
        });
        QVERIFY(!CWriteWarningDialog::Confirm(nullptr));
    }

    void transparentLabelLeavesNoTraceOfOldText()
    {
        BandParent parent;
        parent.resize(300, 40);
        auto* label = new CTransparentStatic(&parent);
        label->setGeometry(10, 10, 280, 20);
        label->SetTransparent();
        label->SetBold(true);
        QVERIFY(label->font().bold());
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const QImage empty = parent.grab().toImage();
        label->SetLabelText(QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWW"));
        const QImage written = parent.grab().toImage();
        QVERIFY(written != empty);
        label->SetLabelText(QString());
        QCOMPARE(parent.grab().toImage(), empty);
    }

    void plainLabelIsOnWhite()
    {
        BandParent parent;
        parent.resize(100, 40);
        auto* label = new CTransparentStatic(&parent);
        label->setGeometry(0, 20, 100, 20);
        label->SetLabelColor(Rgb(255, 0, 0));
        parent.show();
        const QImage image = parent.grab().toImage();
        QCOMPARE(image.pixelColor(50, 39), QColor(Qt::white));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }

    void legendDrawsItsSquareInItsColour()
    {
        CColorLegend legend;
        legend.resize(120, 16);
        QCOMPARE(legend.legendColor(), Rgb(192, 192, 192));
        legend.SetLegendColor(Rgb(0, 255, 0));
        legend.SetLegendText(QStringLiteral("Read"));
        const QImage image = legend.grab().toImage();
        const int y = (16 - 6) / 2;
        QCOMPARE(image.pixelColor(0, y), QColor(Qt::black));       // border
        QCOMPARE(image.pixelColor(3, y + 3), QColor(0, 255, 0));   // fill
        QCOMPARE(image.pixelColor(12, y + 3), QColor(Qt::white));  // gap before the text
    }

    void aboutLinkOpensItsText()
    {
        CAboutDialog about;
        QVERIFY(about.link()->isLink());
        QCOMPARE(about.link()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(about.link()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // Catch the shell's open so no browser starts.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QTest::mouseClick(about.link(), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(about.link()->text())});

        about.link()->SetLink(false);
        QCOMPARE(about.link()->cursor().shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(SmallControlsTest)
#include "tst_SmallControls.moc"
