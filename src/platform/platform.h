#pragma once
// The few facts the program asks of the operating system, each with a fallback that
// never fails (offscreen, Wayland or a missing /proc all give sensible answers).

#include <QDate>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

class QWidget;

namespace tv::platform {

struct MemoryStatus {
    uint64_t totalPhysBytes = 0;  // installed physical memory
    int memoryLoad = 0;           // 0..100, share of physical memory in use
};

// Parses /proc/meminfo text (MemTotal and MemAvailable, in kB). Returns nothing when
// MemTotal is missing or zero; MemAvailable missing means MemFree + Buffers + Cached.
std::optional<MemoryStatus> parseMeminfo(std::string_view text);
// The machine's memory status now; all zero when it cannot be read.
MemoryStatus memoryStatus();

// Keyboard toggles. Caps Lock and Num Lock come from the X server's indicators; Insert has
// no OS toggle here, so the program flips it on every Insert key press it sees.
bool capsLockOn();
bool numLockOn();
bool insertOn();
void noteInsertKeyPress();
void resetInsertState();

// Help commands on a named help file. The help of "Tipvault.hlp" is the HTML user guide
// "tipvault.html"; its index section opens through "tipvault-index.html".
enum class HelpCommand { Contents = 3, Finder = 11 };
// Opens the guide's page for `command` with the desktop's handler. When the page is not there,
// or nothing can open it, shows a message box that names its path and returns false.
bool showHelp(QWidget* parent, const QString& helpFile, HelpCommand command);
// The guide's page for `command`: in the help file's folder when that name is absolute; else
// beside the program, or in the installation's documentation folder (share/doc/tipvault).
QString resolveHelpFile(const QString& helpFile, HelpCommand command);

// Full geometry of the primary screen, in pixels.
QSize screenSize();

// A dialog or message box that cannot be resized says so to the window manager: a dialog's
// title bar with the system menu and close box only (no minimise or maximise), keeping a
// stay-on-top flag already set. With a size, the window is fixed at it (the window manager is
// told it is both its least and its most); a message box fixes its own size as it shows.
// Where the window manager offers to minimise it all the same, it comes straight back.
void markFixedSize(QWidget* window, QSize size = {});

// The system's short date format (QLocale), with the year widened to four digits when the
// locale writes only two, so that dates read back unambiguously. en_US: "M/d/yyyy".
QString shortDateFormat();
// Reads a whole text as a date in the short date format; a two-digit year falls in 1930..2029.
// Invalid (null) QDate when the text is not a complete valid date.
QDate parseShortDate(const QString& text);
// The system's long time format (QLocale). en_US: "h:mm:ss AP".
QString longTimeFormat();

// True on the Windows 95 family (or when the version cannot be read); false elsewhere.
bool isWin95Family();

} // namespace tv::platform
