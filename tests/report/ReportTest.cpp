#include "core/mediatests/ErrorScanWorker.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoveryReport.h"
#include "core/text/StringIds.h"
#include "platform/image/PosixOutputFiles.h"
#include "report/ReportWriter.h"
#include "support/MemoryVolume.h"
#include "support/ScanRig.h"

#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv::test {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text of a PDF as pdftotext extracts it, whitespace runs made one space.
std::string pdfText(const std::string& path)
{
    std::string text;
    if (FILE* pipe = popen(("pdftotext -enc UTF-8 '" + path + "' -").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        pclose(pipe);
    }
    std::string flat;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)) || (!flat.empty() && flat.back() != ' '))
            flat += std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    return flat;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        record.sectorCount = 100000;
        std::strcpy(record.productText, "Kingfast DataStick");
        record.handle = ImageVolume::open(image.path());
        folder = std::filesystem::path(image.path()).parent_path().string();
    }

    // A scan whose worker fails reading, as the real one does: the failure
    // record first, then RUN_FAILED.
    void failingScan(ScanRig& rig)
    {
        rig.presenter.setWorker([](SharedContext& context, int32_t) {
            context.device->position = 4096;
            context.status->setState(RUN_ACTIVE);
            context.status->progressWindow->report(OP_ERROR_SCAN, SCAN_WRITE_CHUNK);
            context.status->failure.set(str::kFailedRead, "/dev/sdx", EIO);
            context.status->setState(RUN_FAILED);
            context.status->progressWindow->report(OP_ERROR_SCAN, SCAN_ENDED_EARLY);
            return 1;
        });
        ASSERT_TRUE(rig.run(1, kScanReadTest | kScanWriteTest));
        ASSERT_EQ(rig.presenter.outcome(), RunOutcome::Failed);
    }

    ScratchImage image{64};
    DeviceRecord record;
    std::string folder;
    PosixOutputFiles files;
};

// Both files, in the program's own language, say that the scan failed and
// why (the page's message and what failed on what), beside the drive.
TEST_F(ReportTest, FailedRunSaysThatItFailedAndWhyInBothFormats)
{
    UseEnglishTexts(false);
    ScanRig rig(&record);
    failingScan(rig);
    const Report report = rig.presenter.report();
    std::string error;
    ASSERT_TRUE(report::WriteReport(report, folder + "/failed.pdf", files, ExistingFile::ReplaceRegular, &error)) << error;
    ASSERT_TRUE(report::WriteReport(report, folder + "/failed.html", files, ExistingFile::ReplaceRegular, &error)) << error;

    const std::string why = "ошибка чтения /dev/sdx: " + std::string(std::strerror(EIO));
    const std::string pdf = pdfText(folder + "/failed.pdf");
    EXPECT_NE(pdf.find("Отчёт о тестировании"), std::string::npos) << pdf;
    EXPECT_NE(pdf.find("Не выполнен из-за ошибки"), std::string::npos) << pdf;
    EXPECT_NE(pdf.find(why), std::string::npos) << pdf;
    EXPECT_NE(pdf.find("Kingfast DataStick"), std::string::npos) << pdf;
    const std::string html = readFile(folder + "/failed.html");
    EXPECT_NE(html.find("Не выполнен из-за ошибки"), std::string::npos);
    EXPECT_NE(html.find(why), std::string::npos);
}

// A product text is the stick's own and may hold markup: the HTML report
// shows it as text and never as an element.
TEST_F(ReportTest, HostileProductTextStaysText)
{
    UseEnglishTexts(true);
    const char hostile[] = "<script>x()</script>&";
    std::memcpy(record.productText, hostile, sizeof hostile);
    ScanRig rig(&record);
    failingScan(rig);
    Report report = rig.presenter.report();
    report.log.push_back({"[12:00:00]", "<img src=x onerror=y()>", true});
    std::string error;
    ASSERT_TRUE(report::WriteReport(report, folder + "/hostile.html", files, ExistingFile::ReplaceRegular, &error)) << error;

    QXmlStreamReader xml(QString::fromStdString(readFile(folder + "/hostile.html")));
    bool productSeen = false, logSeen = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            EXPECT_NE(xml.name(), QStringLiteral("script"));
            EXPECT_FALSE(xml.attributes().hasAttribute(QStringLiteral("onerror")));
        }
        if (xml.isCharacters()) {
            productSeen |= xml.text() == QString::fromLatin1(hostile);
            logSeen |= xml.text() == QStringLiteral("<img src=x onerror=y()>");
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(productSeen);
    EXPECT_TRUE(logSeen);
    UseEnglishTexts(false);
}

// A stick on USB: its ids, serial and speed as the platform read them.
class UsbStick : public MemoryVolume {
public:
    UsbStick() : MemoryVolume(1 << 20) {}
    UsbIdentity usbIdentity() const override { return {0x0781, 0x5567, "4C530001", "480"}; }
};

// The drive's USB device appears in the report where the volume knows it,
// and an image drive has no USB rows at all.
TEST_F(ReportTest, UsbIdentityShownWhereKnownAndAbsentForAnImage)
{
    UseEnglishTexts(true);
    std::string error;
    const std::string imagePath = folder + "/image.html", stickPath = folder + "/stick.html";
    Report report;
    report.drive = ReportDriveOf(record);
    ASSERT_TRUE(report::WriteReport(report, imagePath, files, ExistingFile::ReplaceRegular, &error)) << error;
    record.handle = std::make_shared<UsbStick>();
    const ReportDrive stick = ReportDriveOf(record);
    report.drive = stick;
    EXPECT_EQ(stick.usbIds, "0781:5567");
    EXPECT_EQ(stick.serial, "4C530001");
    EXPECT_EQ(stick.usbSpeed, "480 Mbit/s");
    ASSERT_TRUE(report::WriteReport(report, stickPath, files, ExistingFile::ReplaceRegular, &error)) << error;

    const std::string image = readFile(imagePath), html = readFile(stickPath);
    for (const char* label : {"USB ids", "Serial number", "USB speed"}) {
        EXPECT_EQ(image.find(label), std::string::npos) << label;
        EXPECT_NE(html.find(label), std::string::npos) << label;
    }
    EXPECT_NE(html.find("<td>0781:5567</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>480 Mbit/s</td>"), std::string::npos);
    UseEnglishTexts(false);
}

// A scan that found more files than a report holds lists the first ones
// and says how many there were.
TEST_F(ReportTest, FoundFilesBeyondTheCapAreCountedInANote)
{
    UseEnglishTexts(true);
    MemoryFoundFileList found;
    for (int i = 0; i < kReportFoundFileRows + 5; ++i) {
        const std::string name = std::to_string(i) + ".jpg";
        auto file = std::make_unique<FoundFile>();
        file->name = name;
        file->kind = 1;
        file->startSector = uint32_t(i);
        found.appendRow(name, std::move(file));
    }
    const Report report = RecoveryReport({false, 0, RunOutcome::Completed, {}, "100 %", "1005", "1 MB", "0"}, &record, found);
    const ReportTable& table = report.tables.at(0);
    ASSERT_EQ(table.rows.size(), size_t(kReportFoundFileRows));
    EXPECT_EQ(table.rows.back()[0], std::to_string(kReportFoundFileRows - 1) + ".jpg");
    EXPECT_EQ(table.note, "The first 1000 of 1005 files are shown");
    UseEnglishTexts(false);
}

}  // namespace
}  // namespace qv::test
