#include "platform/udisks/UDisksService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QVariantMap>

#include <cerrno>
#include <fcntl.h>

namespace qv::udisks {
namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
// Long enough for a user to read a password prompt and answer it.
constexpr int kCallTimeoutMs = 5 * 60 * 1000;

QString blockPath(const std::string& node)
{
    return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + QString::fromStdString(node);
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

VolumeFailure ClassifyBusError(const std::string& errorName, const std::string& message)
{
    using namespace linux_platform;
    if (errorName == "org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain")
        return {EACCES, kTextNoAuthenticationAgent, message, {}};
    if (startsWith(errorName, "org.freedesktop.UDisks2.Error.NotAuthorized"))
        return {EACCES, kTextAccessRefused, message, {}};
    if (errorName == "org.freedesktop.UDisks2.Error.DeviceBusy")
        return {EBUSY, 0, message, {}};
    // No bus, or nobody there answers for udisks2.
    if (errorName.empty() || errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
        errorName == "org.freedesktop.DBus.Error.NoServer" || errorName == "org.freedesktop.DBus.Error.Disconnected" ||
        errorName == "org.freedesktop.DBus.Error.FileNotFound" || startsWith(errorName, "org.freedesktop.DBus.Error.Spawn"))
        return {EACCES, kTextNoDiskService, message, {}};
    if (errorName == "org.freedesktop.DBus.Error.UnknownObject")
        return {ENODEV, 0, message, {}};
    return {EIO, 0, message, {}};
}

UDisksService::UDisksService(bool interactive) : interactive_(interactive) {}

namespace {

// One call to udisks2 on the system bus; an error reply (or no bus) as a
// failure.
QDBusMessage callService(const QString& path, const QString& interface, const QString& method,
                         const QVariantList& arguments, bool interactive, VolumeFailure* failure)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        if (failure)
            *failure = ClassifyBusError({}, bus.lastError().message().toStdString());
        return {};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    call.setInteractiveAuthorizationAllowed(interactive);
    QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage && failure)
        *failure = ClassifyBusError(reply.errorName().toStdString(), reply.errorMessage().toStdString());
    return reply;
}

QVariantMap authOptions(bool interactive)
{
    return {{QStringLiteral("auth.no_user_interaction"), !interactive}};
}

}  // namespace

linux_platform::DiskService::Opened UDisksService::openDevice(const std::string& node, bool write)
{
    QVariantMap options = authOptions(interactive_);
    // Reads and writes bypass the page cache, as on a directly opened
    // stick; a writer holds the device alone.
    options.insert(QStringLiteral("flags"), int(O_DIRECT | (write ? O_EXCL : 0)));
    Opened opened;
    const QDBusMessage reply =
        callService(blockPath(node), kBlock, QStringLiteral("OpenDevice"),
                    {write ? QStringLiteral("rw") : QStringLiteral("r"), options}, interactive_, &opened.failure);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return opened;
    const auto descriptor = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().at(0));
    if (!descriptor.isValid()) {
        opened.failure = {EIO, 0, "udisks2 returned no file descriptor", {}};
        return opened;
    }
    // The message's descriptor closes with it: keep a copy of our own.
    opened.fd = fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (opened.fd < 0)
        opened.failure = {errno, 0, {}, {}};
    return opened;
}

bool UDisksService::unmount(const std::string& node, VolumeFailure* failure)
{
    const QString path = blockPath(node);
    VolumeFailure probe;
    const QDBusMessage mounts =
        callService(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                    {kFilesystem, QStringLiteral("MountPoints")}, false, &probe);
    if (mounts.type() != QDBusMessage::ReplyMessage) {
        // A node without a file system (or unknown to the service) has
        // nothing mounted; a missing service is the caller's to hear of.
        if (probe.textId != linux_platform::kTextNoDiskService)
            return true;
        if (failure)
            *failure = probe;
        return false;
    }
    const QVariant value = qdbus_cast<QDBusVariant>(mounts.arguments().value(0)).variant();
    if (qdbus_cast<QByteArrayList>(value).isEmpty())
        return true;
    VolumeFailure refused;
    const QDBusMessage reply = callService(path, kFilesystem, QStringLiteral("Unmount"),
                                           {authOptions(interactive_)}, interactive_, &refused);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (failure) {
        *failure = refused;
        if (!failure->textId)
            failure->textId = linux_platform::kTextCannotUnmount;
    }
    return false;
}

void UDisksService::format(const std::string& node, const std::string& type, const std::string& label, bool erase,
                           std::function<void(bool ok, const VolumeFailure& failure)> done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(false, ClassifyBusError({}, bus.lastError().message().toStdString()));
        return;
    }
    QVariantMap options = authOptions(interactive_);
    options.insert(QStringLiteral("label"), QString::fromStdString(label));
    options.insert(QStringLiteral("update-partition-type"), true);
    if (erase)
        options.insert(QStringLiteral("erase"), QStringLiteral("zero"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, blockPath(node), kBlock, QStringLiteral("Format"));
    call.setArguments({QString::fromStdString(type), options});
    call.setInteractiveAuthorizationAllowed(interactive_);
    // Formatting (and erasing) takes as long as the medium needs.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 24 * 3600 * 1000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, done](QDBusPendingCallWatcher*) {
        const QDBusMessage reply = watcher->reply();
        watcher->deleteLater();
        if (reply.type() == QDBusMessage::ReplyMessage)
            done(true, {});
        else
            done(false, ClassifyBusError(reply.errorName().toStdString(), reply.errorMessage().toStdString()));
    });
}

void InstallDiskService(bool interactive)
{
    // The bus connection is served by the Qt core object's threads.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "quorvane-cli";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    linux_platform::SetDiskService(std::make_shared<UDisksService>(interactive));
}

}  // namespace qv::udisks
