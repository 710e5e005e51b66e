#include "WindowSystem.h"

#include "XcbConnection.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace tavolix {
namespace {

// "xcb", "xcb:arguments" or a list that starts with either.
bool namesX11(const QByteArray& platform)
{
    const QByteArray first = platform.split(';').constFirst();
    return first.split(':').constFirst().trimmed() == "xcb";
}

} // namespace

bool chooseWindowSystem()
{
    const QByteArray named = qgetenv("QT_QPA_PLATFORM");
    if (!named.trimmed().isEmpty())
        return namesX11(named);
    if (XcbConnection().isConnected()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    return false;
}

} // namespace tavolix
