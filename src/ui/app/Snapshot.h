#pragma once

#include "core/files/OutputFiles.h"

#include <QString>

#include <functional>

class QWidget;

namespace qv::ui {

// "Quorvane_<product>.png": the name the save dialog proposes.
QString SnapshotFileName(const QString& productText);

// True when Qt can write PNG pictures (the Snapshot button needs it).
bool PngWriterAvailable();

// Saves a picture of the window: with its frame, grabbed from the screen,
// where the platform lets a program read the screen (X11); else the
// window's own rendering. It is written through files, replacing a regular
// file (the save dialog asked) and never over or onto inputs. False when
// nothing could be captured or written, with *failure set when the file
// was refused or failed.
bool CaptureWindowToFile(const QString& fileName, const char* format, QWidget* window, OutputFiles& files,
                         const RunInputs& inputs = {}, RunFailure* failure = nullptr);

// Asks for the file (the save dialog asks before it overwrites), lets the
// closed dialog leave the screen for 500 ms while events are served, and
// captures the window; string 156 when that fails, with what failed on
// what below it. inputs: the selected drive, which takes no snapshot. True
// when a file was written; a cancelled dialog gives false and no message.
// choose stands in for the save dialog in the tests.
bool SaveSnapshot(QWidget* window, const QString& productText, OutputFiles& files, const RunInputs& inputs,
                  const std::function<bool(QString& path)>& choose = {});

}  // namespace qv::ui
