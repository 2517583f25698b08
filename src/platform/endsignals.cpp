#include "platform/endsignals.h"

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace tv::platform {

namespace {

// [0] written by the signal handler, [1] read by the event loop.
int g_wake[2] = {-1, -1};

extern "C" void wakeLoop(int)
{
    // Only async-signal-safe calls here.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wake[0], &byte, 1);
    errno = saved;
}

void setDisposition(void (*handler)(int))
{
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

std::function<void()> g_rescue;
bool g_atExitRegistered = false;

extern "C" void lastChance()
{
    if (!g_rescue)
        return;
    const std::function<void()> rescue = std::move(g_rescue);
    g_rescue = nullptr;
    rescue();
    // The libraries' own exit work would now tear down a window system that is still in use
    // (and crash doing so): end here, with the failure status the plugin asked for.
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace

void onEndSignals(QObject* context, std::function<void()> request)
{
    if (g_wake[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_wake) != 0) {
        g_wake[0] = g_wake[1] = -1;
        return;   // the signals keep their default effect
    }
    auto* notifier = new QSocketNotifier(qintptr(g_wake[1]), QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [request = std::move(request)] {
        char bytes[64];
        while (::read(g_wake[1], bytes, sizeof bytes) > 0) {
        }
        request();
    });
    QObject::connect(notifier, &QObject::destroyed, [] { setDisposition(SIG_DFL); });
    setDisposition(wakeLoop);
}

void setLastChance(std::function<void()> rescue)
{
    g_rescue = std::move(rescue);
    // Registered after the libraries' own exit work, so that it runs before it.
    if (!g_atExitRegistered)
        g_atExitRegistered = std::atexit(lastChance) == 0;
}

void clearLastChance()
{
    g_rescue = nullptr;
}

} // namespace tv::platform
