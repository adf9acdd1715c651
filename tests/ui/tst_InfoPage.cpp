// The information page in the main window over an image drive formatted
// by mkfs: the volume texts, a USB tree with the drive's own device
// highlighted, the refresh moments, placement and F1; and the capacity
// probe from its button on a drive that wraps.
#include "core/device/SectorIO.h"
#include "core/mediatests/CapacityProbe.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/Units.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageVolume.h"
#include "platform/image/PosixOutputFiles.h"
#include "platform/linux/LinuxInfoSystem.h"
#include "report/ReportWriter.h"
#include "support/PageDrive.h"
#include "support/UiFixtures.h"
#include "ui/app/Language.h"
#include "ui/app/AppWindow.h"
#include "ui/app/Text.h"
#include "ui/pages/InfoPage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QCheckBox>
#include <QMessageBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

#include <cstdlib>

using namespace qv;
using namespace qv::ui;

namespace {

UsbNode nodeOf(int32_t type, const std::string& product = {})
{
    UsbNode node;
    node.type = type;
    node.product = product;
    node.usbVersion = 0x0200;
    node.vendorId = 0x46F4;
    node.productId = 0x0001;
    node.speedMbps = "480";
    node.portCount = type == USB_DEVICE ? 0 : 4;
    node.hubCharacteristics = 0x0009;
    return node;
}

// The volume from the running system (the image file), the USB tree of a
// machine with a hub holding two sticks, the drive on the second one.
class TreeInfoSystem : public InfoSystem {
public:
    explicit TreeInfoSystem(std::function<std::string(int)> slotName) : real_(std::move(slotName)) {}
    int walks = 0;
    std::string driveDevice = "1-1.2";

    VolumeFacts describeVolume(int driveIndex, const std::string& openPath) override
    {
        return real_.describeVolume(driveIndex, openPath);
    }
    std::vector<UsbTreeItem> usbTree(const UsbLog&) override
    {
        ++walks;
        UsbTreeItem controller{std::nullopt, 0, "EHCI Host Controller", "0000:00:1d.7", {}};
        UsbTreeItem root{nodeOf(USB_ROOT_HUB), 0, "", "usb1", {}};
        UsbTreeItem hub{nodeOf(USB_EXTERNAL_HUB, "USB2.0 Hub"), 1, "USB2.0 Hub", "1-1", {}};
        hub.children.push_back({nodeOf(USB_DEVICE, "Stick A"), 1, "Stick A", "1-1.1", {}});
        hub.children.push_back({nodeOf(USB_DEVICE, "Stick B"), 2, "Stick B", "1-1.2", {}});
        root.children.push_back(hub);
        root.children.push_back({nodeOf(USB_DEVICE, "Stick C"), 2, "Stick C", "1-2", {}});
        controller.children.push_back(root);
        return {controller};
    }
    std::string usbDeviceOfDrive(int) override { return driveDevice; }
    std::string describeOs() override { return "Test Linux 1 (x86_64)"; }

private:
    linux_platform::LinuxInfoSystem real_;
};

QString fatImage(test::ImageFolder& images, qint64 size = 32 << 20, const QString& label = "QVSTICK")
{
    const QString path = images.make("stick.img", size);
    const QString line = "PATH=/usr/sbin:/sbin:$PATH mkfs.vfat -F 32 -n " + label + " '" + path + "' >/dev/null 2>&1";
    return std::system(line.toLocal8Bit().constData()) == 0 ? path : QString();
}

struct InfoWindow {
    explicit InfoWindow(const QString& image)
    {
        options.systemDrives = false;
        options.images = {image.toStdString()};
        options.infoSystem = [this](std::function<std::string(int)> slotName) {
            auto made = std::make_unique<TreeInfoSystem>(std::move(slotName));
            system = made.get();
            return std::unique_ptr<InfoSystem>(std::move(made));
        };
    }
    MemoryProfileStore store;
    MainOptions options;
    TreeInfoSystem* system = nullptr;  // owned by the window's platform
    std::unique_ptr<AppWindow> window;
    CInfoPage* page = nullptr;

    bool open()
    {
        window = std::make_unique<AppWindow>(store, options);
        page = qobject_cast<CInfoPage*>(window->page(kInformationPage));
        window->show();
        return page && QTest::qWaitForWindowExposed(window.get());
    }
};

}  // namespace

class InfoPageTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;

private slots:
    void pageShowsTheDriveTheSystemAndTheTree()
    {
        const QString image = fatImage(images_);
        QVERIFY(!image.isEmpty());
        InfoWindow w(image);
        QVERIFY(w.open());
        CInfoPage* page = w.page;
        QCOMPARE(w.window->currentPage(), int(kInformationPage));

        // Every block, the last one too, in decimal megabytes.
        QCOMPARE(page->valueText(1091), QStringLiteral("33 MB"));
        QCOMPARE(page->valueText(1092), "33554432 " + Text(205));
        QCOMPARE(page->valueText(1095), "65536 " + Text(208));
        QCOMPARE(page->valueText(1094), QStringLiteral("FAT32"));
        QCOMPARE(page->valueText(1130), QStringLiteral("QVSTICK"));
        QCOMPARE(page->valueText(1124), Text(207));  // an image is not mounted
        QCOMPARE(page->valueText(1093), QStringLiteral("Test Linux 1 (x86_64)"));

        QTreeWidget* tree = page->usbTree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree->topLevelItem(0)->child(0);
        QCOMPARE(root->text(0), Text(123));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(1)->text(0), "[" + Text(124) + " 2]: Stick C ");
        QVERIFY(root->child(0)->isExpanded());

        // The drive's own stick is marked, selected and described.
        QTreeWidgetItem* stick = root->child(0)->child(1);
        QCOMPARE(page->driveItem(), stick);
        QCOMPARE(CInfoPage::itemId(stick), QStringLiteral("1-1.2"));
        QVERIFY(stick->font(0).bold());
        QVERIFY(!root->child(1)->font(0).bold());
        QCOMPARE(tree->currentItem(), stick);
        QTreeWidget* list = page->propertyList();
        QVERIFY(list->isHeaderHidden());
        QCOMPARE(list->topLevelItemCount(), 8);
        QCOMPARE(list->topLevelItem(1)->text(1), Text(129));  // no manufacturer string
        QCOMPARE(list->topLevelItem(4)->text(1), QStringLiteral("46F4"));

        // Another node shows its own rows: a hub gets the hub rows first.
        tree->setCurrentItem(root->child(0));
        QCOMPARE(list->topLevelItem(0)->text(0), Text(126));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("4"));
        QCOMPARE(list->topLevelItem(1)->text(1), Text(142));
    }

    void treeIsRebuiltOnlyByRefreshAndNeverWhileScanIsDisabled()
    {
        const QString image = fatImage(images_);
        InfoWindow w(image);
        QVERIFY(w.open());
        CInfoPage* page = w.page;
        QCOMPARE(w.system->walks, 1);

        // Selection changes and page switches re-read the volume only; the
        // mark follows the drive.
        w.system->driveDevice = "1-2";
        page->selectionChanged();
        w.window->showPage(kErrorScanPage);
        w.window->showPage(kInformationPage);
        QCOMPARE(w.system->walks, 1);
        QCOMPARE(page->driveItem()->text(0), "[" + Text(124) + " 2]: Stick C ");

        QTest::mouseClick(page->refreshButton(), Qt::LeftButton);
        QCOMPARE(w.system->walks, 2);
        QCOMPARE(page->refreshButton()->toolTip(), Text(184));

        w.store.writeInt(kDisableUsbScanKey, 1);
        QTreeWidgetItem* before = page->usbTree()->topLevelItem(0);
        QTest::mouseClick(page->refreshButton(), Qt::LeftButton);
        QCOMPARE(w.system->walks, 2);
        QCOMPARE(page->usbTree()->topLevelItem(0), before);  // kept as it was

        // No drive left: the no-data display.
        page->clearVolumeInfo();
        QCOMPARE(page->valueText(1091), Text(207));
        QCOMPARE(page->valueText(1092), QString());
    }

    void placementAndHelp()
    {
        const QString image = fatImage(images_);
        InfoWindow w(image);
        QVERIFY(w.open());
        CInfoPage* page = w.page;
        auto distances = [page] {
            const QRect list = page->propertyList()->geometry();
            const QRect button = page->refreshButton()->geometry();
            const QRect tree = page->usbTree()->geometry();
            return QList<int>{page->width() - list.right(), page->height() - list.bottom(), list.top(),
                              page->width() - button.right(), page->height() - button.bottom(), button.width(),
                              page->width() - tree.right(), tree.top(), tree.height()};
        };
        const QList<int> before = distances();
        const int treeWidth = page->usbTree()->width();
        w.window->resize(w.window->width() + 120, w.window->height() + 80);
        QTRY_COMPARE(distances(), before);
        QCOMPARE(page->usbTree()->width(), treeWidth + 120);

        QSignalSpy manual(page, &CInfoPage::manualRequested);
        page->usbTree()->setFocus();
        QTest::keyClick(page->usbTree(), Qt::Key_F1);
        QCOMPARE(manual.count(), 1);
    }

    // A stick that claims 192 MiB and keeps 48 MiB, sector s landing on
    // s mod 48 MiB: a declined question, or a destructive probe whose write
    // warning is declined, writes nothing; an accepted question
    // runs the probe (Stop meanwhile), names the real size on the page and
    // leaves every byte as it was; the report holds the verdict; another
    // drive clears the line.
    void probeFromTheButtonFindsTheRealSizeAndRestoresTheMedium()
    {
        SetSettleDelayMs(0);
        constexpr uint32_t kReal = 98304, kClaimed = 393216;
        const QByteArray bytes = test::RandomBytes(1 << 20).repeated(kReal / 2048);
        const QString path = test::ImageWith(images_, "wraps.img", bytes);
        FaultPlan plan;
        plan.wrapSectors = kReal;
        test::PageDrive drive(std::make_shared<FaultyVolume>(ImageVolume::open(path.toStdString()), plan), kClaimed);
        CInfoPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();

        {
            test::ModalCatcher decline;
            decline.answer = QMessageBox::Cancel;
            QTest::mouseClick(page.probeButton(), Qt::LeftButton);
            QCOMPARE(decline.dialogs, 1);
            QVERIFY(decline.texts.first().startsWith(Text(str::kProbeWritesNote)));
        }
        {
            // The destructive probe asks for the write warning as well.
            int warnings = 0;
            QTimer answer;
            answer.setInterval(10);
            connect(&answer, &QTimer::timeout, &answer, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    box->checkBox()->setChecked(true);
                    box->button(QMessageBox::Ok)->click();
                } else if (auto* warning = qobject_cast<CWriteWarningDialog*>(modal)) {
                    ++warnings;
                    warning->reject();
                }
            });
            answer.start();
            QTest::mouseClick(page.probeButton(), Qt::LeftButton);
            QCOMPARE(warnings, 1);
        }
        QVERIFY(!page.probePresenter()->active());
        QCOMPARE(page.probeLine(), QString());
        QVERIFY(!page.canSaveReport());
        QVERIFY(test::FileBytes(path) == bytes);

        QStringList captions, lines;
        drive.runs.onReport = [&](int32_t, int64_t) {
            captions << page.probeButton()->text();
            lines << page.probeLine();
        };
        test::ModalCatcher accept;
        QTest::mouseClick(page.probeButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.probePresenter()->active(), 60000);
        QCOMPARE(accept.dialogs, 1);  // the question only: the default probe needs no write warning
        QVERIFY(!captions.isEmpty());
        QCOMPARE(captions.first(), Text(str::kStop));
        QVERIFY(lines.last().startsWith(Text(str::kProbeTitle)));  // the progress meanwhile
        QCOMPARE(page.probeButton()->text(), Text(str::kProbeButton));
        QCOMPARE(page.probePresenter()->result().realSectors, uint64_t(kReal));
        const QString verdict = TextWith(str::kProbeVerdictFake, QString::fromStdString(SizeText(uint64_t(kReal) * 512)),
                                         QString::fromStdString(SizeText(uint64_t(kClaimed) * 512)));
        QVERIFY2(page.probeLine().startsWith(verdict), qPrintable(page.probeLine()));
        QVERIFY(page.probeLine().endsWith(Text(str::kProbeRestored)));
        QVERIFY(test::FileBytes(path) == bytes);

        // The report as File > Save report writes it.
        QVERIFY(page.canSaveReport());
        const QString html = images_.path("probe.html");
        std::string error;
        PosixOutputFiles files;
        QVERIFY2(report::WriteReport(page.makeReport(), html.toStdString(), files, ExistingFile::ReplaceRegular, &error),
                 error.c_str());
        const QString written = QString::fromUtf8(test::FileBytes(html));
        QVERIFY(written.contains(verdict.toHtmlEscaped()));
        QVERIFY(written.contains(Text(str::kProbeModeRestoring).toHtmlEscaped()));

        // The same drive again (every run ends so) keeps the line; another
        // drive clears it.
        page.selectionChanged();
        QVERIFY(page.probeLine().startsWith(verdict));
        DeviceRecord other;
        drive.context.device = &other;
        page.selectionChanged();
        QCOMPARE(page.probeLine(), QString());
        QVERIFY(!page.canSaveReport());
    }
};

// Not a test: with QUORVANE_SCREENSHOTS=DIR set the main window is
// photographed on the information page over the running system's drives
// and USB tree, in both languages (the guest check runs it on a hub with
// sticks). QUORVANE_INFO_DRIVE selects a drive ("sdb") first, and
// QUORVANE_INFO_EXPECT names the USB device ("1-1.2") that must then be
// the marked item.
class InfoScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pageOverTheSystem_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void pageOverTheSystem()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        MemoryProfileStore store;
        MainOptions options;
        const QString image = qEnvironmentVariable("QUORVANE_INFO_IMAGE");
        if (!image.isEmpty()) {
            options.systemDrives = false;
            options.images = {image.toStdString()};
        }
        AppWindow window(store, options);
        window.resize(window.width(), window.height() + 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* page = qobject_cast<CInfoPage*>(window.page(kInformationPage));
        QVERIFY(page);
        const QString drive = qEnvironmentVariable("QUORVANE_INFO_DRIVE");
        if (!drive.isEmpty()) {
            QComboBox* selector = window.deviceSelector();
            const int index = selector->findText("(" + drive + ")", Qt::MatchStartsWith);
            QVERIFY2(index >= 0, qPrintable("no drive " + drive + " in the selector"));
            selector->setCurrentIndex(index);
            emit selector->activated(index);
        }
        const QString expect = qEnvironmentVariable("QUORVANE_INFO_EXPECT");
        if (!expect.isEmpty()) {
            QVERIFY(page->driveItem());
            QCOMPARE(page->usbTree()->currentItem(), page->driveItem());
            QVERIFY(page->driveItem()->font(0).bold());
            QCOMPARE(CInfoPage::itemId(page->driveItem()), expect);
            qInfo("marked item: %s", qPrintable(page->driveItem()->text(0)));
        }
        QTest::qWait(50);
        const QString lang = english ? "en" : "ru";
        QVERIFY(window.grab().save(QDir(dir).filePath("info-" + lang + ".png")));
        if (english)
            RemoveTranslation(*qApp, translator);
    }
};

// Not a test: with QUORVANE_PROBE_SCREENSHOTS=DIR set (scripts/screenshots
// runs it under Xvfb) the main window is photographed on the information
// page after the capacity probe of an image drive that claims 64 GB and
// wraps at 3.9 GB, in both languages.
class ProbeScreenshots : public QObject {
    Q_OBJECT
private slots:
    void verdictOnThePage_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void verdictOnThePage()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_PROBE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        SetSettleDelayMs(0);
        constexpr uint64_t kClaimed = 125000000, kReal = 7618560;
        test::ImageFolder images;
        const QString path = fatImage(images, qint64(kClaimed * 512), "STICK64");
        QVERIFY(!path.isEmpty());
        MemoryProfileStore store;
        MainOptions options;
        options.systemDrives = false;
        options.images = {path.toStdString()};
        AppWindow window(store, options);
        window.resize(window.width(), window.height() + 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DeviceRecord* record = window.context().device;
        QVERIFY(record);
        FaultPlan plan;
        plan.wrapSectors = kReal;
        record->handle = std::make_shared<FaultyVolume>(record->handle.get(), plan);
        auto* page = qobject_cast<CInfoPage*>(window.page(kInformationPage));
        QVERIFY(page);
        test::ModalCatcher catcher;  // the question is answered OK
        QTest::mouseClick(page->probeButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page->probePresenter()->active(), 300000);
        QCOMPARE(page->probePresenter()->result().realSectors, kReal);
        qInfo("probe: %llu ms, %llu sectors written", (unsigned long long)page->probePresenter()->elapsedMs(),
              (unsigned long long)page->probePresenter()->result().sectorsWritten);
        QTest::qWait(100);
        const QString lang = english ? "en" : "ru";
        QVERIFY(window.grab().save(QDir(dir).filePath("probe-verdict-" + lang + ".png")));
        if (english)
            RemoveTranslation(*qApp, translator);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_PROBE_SCREENSHOTS")) {
        ProbeScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        InfoScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    InfoPageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_InfoPage.moc"
