#include "ui/app/Snapshot.h"

#include "core/text/StringIds.h"
#include "core/run/RunFailure.h"
#include "ui/app/FileDialog.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"

#include <QBuffer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace qv::ui {
namespace {

constexpr int kSettleMs = 500;

QPixmap grabWithFrame(QWidget* window)
{
    // Only X11 lets a program read the screen; the frame is the window
    // manager's, so it is taken from the screen where the window lies.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    QScreen* screen = window->screen();
    if (!screen)
        return {};
    const QRect frame = window->frameGeometry();
    const QRect onScreen = frame.translated(-screen->geometry().topLeft());
    return screen->grabWindow(0, onScreen.x(), onScreen.y(), onScreen.width(), onScreen.height());
}

}  // namespace

QString SnapshotFileName(const QString& productText)
{
    return QStringLiteral("Quorvane_%1.png").arg(productText.trimmed());
}

bool PngWriterAvailable()
{
    return QImageWriter::supportedImageFormats().contains("png");
}

bool CaptureWindowToFile(const QString& fileName, const char* format, QWidget* window, OutputFiles& files,
                         const RunInputs& inputs, RunFailure* failure)
{
    RunFailure ignored;
    RunFailure& why = failure ? *failure : ignored;
    if (!window)
        return false;
    QPixmap picture = grabWithFrame(window);
    if (picture.isNull())
        picture = window->grab();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, format))
        return false;
    const std::string path = fileName.toStdString();
    std::unique_ptr<NewFile> file = files.create(path, ExistingFile::ReplaceRegular, inputs, &why);
    if (!file)
        return false;
    if (const int error = file->write(bytes.constData(), size_t(bytes.size()))) {
        why.set(str::kFailedWrite, path, error);
        return false;
    }
    return file->commit(&why) == 0;
}

bool SaveSnapshot(QWidget* window, const QString& productText, OutputFiles& files, const RunInputs& inputs,
                  const std::function<bool(QString& path)>& choose)
{
    QString path = SnapshotFileName(productText);
    const bool chosen = choose ? choose(path) : ShowFileDialog(window, Text(str::kPngFilter), path, true);
    if (!chosen)
        return false;
    // The dialog has closed; let it leave the screen before the capture.
    QEventLoop settle;
    QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
    settle.exec();
    RunFailure failure;
    if (CaptureWindowToFile(path, "png", window, files, inputs, &failure))
        return true;
    const std::string detail = FailureText(failure);
    ShowMessage(window, MessageKind::Error,
                Text(str::kFileWriteError) + (detail.empty() ? QString() : "\n" + QString::fromStdString(detail)));
    return false;
}

}  // namespace qv::ui
