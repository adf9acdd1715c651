#include "ui/pages/PreviewDialog.h"

#include "core/recovery/FoundFile.h"
#include "core/recovery/RecoverySaving.h"
#include "core/run/SharedContext.h"
#include "ui/app/Text.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>

namespace qv::ui {
namespace {

// The file's bytes gathered in memory by the saving workers' copy.
class MemoryFile : public OutputFile {
public:
    explicit MemoryFile(QByteArray& bytes) : bytes_(bytes) {}
    bool write(const void* data, size_t length) override
    {
        bytes_.append(static_cast<const char*>(data), qsizetype(length));
        return true;
    }
    bool close() override { return true; }

private:
    QByteArray& bytes_;
};

// 187 × 127 dialog units in the dialog font: a unit is a quarter of the
// average character width and an eighth of the character height.
QSize clientSize(const QFontMetrics& metrics)
{
    const int x = metrics.averageCharWidth();
    const int y = metrics.height();
    return QSize(187 * x / 4, 127 * y / 8);
}

}  // namespace

CPreviewDialog::CPreviewDialog(SharedContext& context, const FoundFile& file, QWidget* parent) : QDialog(parent)
{
    setUp();
    QByteArray bytes;
    // A read that fails leaves the preview empty, without a message.
    if (file.layout == FoundFile::Layout::Signature && file.length > 0 && file.length <= kMaxPreviewBytes) {
        bytes.reserve(file.length);
        MemoryFile out(bytes);
        if (!ReadFoundFile(context, file, out))
            bytes.clear();
    }
    draw(bytes);
}

CPreviewDialog::CPreviewDialog(const QByteArray& bytes, QWidget* parent) : QDialog(parent)
{
    setUp();
    draw(bytes);
}

void CPreviewDialog::setUp()
{
    setWindowTitle(Text(40706));
    setFixedSize(clientSize(fontMetrics()));
    canvas_ = QImage(size(), QImage::Format_RGB32);
    canvas_.fill(palette().color(QPalette::Window));
}

QRect CPreviewDialog::FitRect(double w, double h, int W, int H)
{
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return {};
    if (w / h > double(W) / double(H)) {
        const int height = int(h * W / w);
        return QRect(0, (H - height) / 2, W, height);
    }
    const int width = int(w * H / h);
    return QRect((W - width) / 2, 0, width, H);
}

void CPreviewDialog::draw(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        return;
    const QRect target = FitRect(picture.width(), picture.height(), canvas_.width(), canvas_.height());
    QPainter painter(&canvas_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
    hasPicture_ = true;
}

void CPreviewDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

}  // namespace qv::ui
