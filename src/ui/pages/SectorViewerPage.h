#pragma once

#include "core/mediatests/SectorListing.h"
#include "ui/app/TestPage.h"

#include <QAbstractSpinBox>

class QLabel;
class QListWidget;
class QPushButton;
class QSlider;

namespace qv::ui {

class CTransparentStatic;

// The sector number: free text (a number past the end is read and fails
// as such) with arrows that step within 0 .. last.
class SectorNumberBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SectorNumberBox(QWidget* parent = nullptr);
    void setLast(uint64_t last) { last_ = last; }
    void stepBy(int steps) override;
    // Sets the text without counting as an edit.
    void setNumberText(const QString& text);
    // The user's own text, as a paste does it (for the tests).
    void paste(const QString& text);

signals:
    // The user typed or pasted.
    void edited();
    // An arrow or key step wrote a new number into the box.
    void stepped();

protected:
    StepEnabled stepEnabled() const override;

private:
    uint64_t last_ = 0;
};

// The sector viewer (dialog 145): one 512-byte sector of the selected drive
// as a hex and character listing, chosen with a slider over the medium in
// thousandths or typed as a number. It only reads.
class CSectorViewerPage : public TestPage {
    Q_OBJECT
public:
    explicit CSectorViewerPage(QWidget* parent = nullptr);

    // Takes the ranges from the selected drive, zeroes the bytes and makes
    // sector 0 current; the list stays empty until the first read.
    void initialisePage();

    void OnRead();
    void OnSliderMoved(int position);
    void OnEditChanged();

    QListWidget* listing() const { return list_; }
    QSlider* slider() const { return slider_; }
    SectorNumberBox* numberBox() const { return number_; }
    QPushButton* readButton() const { return read_; }
    QLabel* rangeEnd() const { return rangeEnd_; }
    const SectorViewer& viewer() const { return viewer_; }

private:
    // Reads the current sector (string 109 on failure) and lists the bytes.
    void showCurrentSector();

    SectorViewer viewer_;
    QListWidget* list_;
    QSlider* slider_;
    QLabel* rangeStart_;
    QLabel* rangeEnd_;
    CTransparentStatic* numberLabel_;
    SectorNumberBox* number_;
    QPushButton* read_;
};

// The window the Service menu opens the viewer in.
class CSectorViewerWindow : public QWidget {
    Q_OBJECT
public:
    explicit CSectorViewerWindow(QWidget* owner);
    CSectorViewerPage* page() const { return page_; }

private:
    CSectorViewerPage* page_;
};

}  // namespace qv::ui
