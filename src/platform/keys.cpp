#include "platform.h"

#include <QGuiApplication>

#ifdef _WIN32
#include <windows.h>
#elif defined(TV_HAVE_X11)
#include <X11/XKBlib.h>
#endif

namespace tv::platform {

namespace {

bool insertState = false;

#if !defined(_WIN32) && defined(TV_HAVE_X11)
Display* x11Display()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

bool indicator(const char* name)
{
    Display* dpy = x11Display();
    if (!dpy)
        return false;
    Atom atom = XInternAtom(dpy, name, True);
    if (atom == None)
        return false;
    Bool state = False;
    if (!XkbGetNamedIndicator(dpy, atom, nullptr, &state, nullptr, nullptr))
        return false;
    return state == True;
}
#endif

} // namespace

bool capsLockOn()
{
#ifdef _WIN32
    return GetKeyState(VK_CAPITAL) & 1;
#elif defined(TV_HAVE_X11)
    return indicator("Caps Lock");
#else
    return false;
#endif
}

bool numLockOn()
{
#ifdef _WIN32
    return GetKeyState(VK_NUMLOCK) & 1;
#elif defined(TV_HAVE_X11)
    return indicator("Num Lock");
#else
    return false;
#endif
}

bool insertOn()
{
#ifdef _WIN32
    return GetKeyState(VK_INSERT) & 1;
#else
    return insertState;
#endif
}

void noteInsertKeyPress() { insertState = !insertState; }
void resetInsertState() { insertState = false; }

} // namespace tv::platform
