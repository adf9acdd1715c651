#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QRect>

namespace qv {
struct FoundFile;
struct SharedContext;
}

namespace qv::ui {

// Shows one found picture fitted into the dialog's client area. The file is
// read from the drive into memory and decoded from there: no file is
// written for it, so no other user of the machine can slip a link or a
// different picture in between.
class CPreviewDialog : public QDialog {
    Q_OBJECT
public:
    // Files longer than this are not read for a preview.
    static constexpr qint64 kMaxPreviewBytes = 256ll << 20;

    // Reads the record's bytes from the selected drive and decodes them.
    CPreviewDialog(SharedContext& context, const FoundFile& file, QWidget* parent = nullptr);
    // Decodes the given bytes (a file already in memory).
    explicit CPreviewDialog(const QByteArray& bytes, QWidget* parent = nullptr);

    // Where a w × h picture lands in a W × H area: the full width, centred
    // vertically, when it is wider in proportion than the area; otherwise
    // the full height, centred horizontally. Small pictures are enlarged.
    static QRect FitRect(double w, double h, int W, int H);

    // The client area as drawn (the window colour, and the picture when it
    // could be decoded).
    const QImage& canvas() const { return canvas_; }
    bool hasPicture() const { return hasPicture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setUp();
    void draw(const QByteArray& bytes);

    QImage canvas_;
    bool hasPicture_ = false;
};

}  // namespace qv::ui
