#include "platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

namespace tv::platform {

QString resolveHelpFile(const QString& helpFile)
{
    QFileInfo fi(helpFile);
    if (fi.isAbsolute())
        return fi.filePath();
    return QDir(QCoreApplication::applicationDirPath()).filePath(helpFile);
}

bool showHelp(QWidget* parent, const QString& helpFile, HelpCommand command)
{
    const QString path = resolveHelpFile(helpFile);
    QFileInfo fi(path);
    if (!fi.isFile() || !fi.isReadable()) {
        QMessageBox::warning(parent, QStringLiteral("Help"),
                             QStringLiteral("Cannot find the help file \"%1\".").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    // The desktop's handler opens the file; it has no separate topic finder, so both
    // commands open the same document.
    Q_UNUSED(command);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(parent, QStringLiteral("Help"),
                             QStringLiteral("No program is set up to open the help file \"%1\".").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

QSize screenSize()
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        return s->geometry().size();
    return QSize(800, 600);
}

} // namespace tv::platform

namespace tv::platform {

QString shortDateFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return f;
}

QDate parseShortDate(const QString& text)
{
    const QString t = text.trimmed();
    const QString full = shortDateFormat();
    QDate d = QLocale().toDate(t, full);
    // "yyyy" also takes a short year; only a year of four digits counts as written in full.
    static const QRegularExpression fourDigits(QStringLiteral("\\d{4}"));
    if (d.isValid() && fourDigits.match(t).hasMatch())
        return d;
    QString shortFormat = full;
    shortFormat.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    d = QLocale().toDate(t, shortFormat);
    if (!d.isValid())
        return {};
    const int yy = d.year() % 100;
    return QDate(yy < 30 ? 2000 + yy : 1900 + yy, d.month(), d.day());
}

QString longTimeFormat()
{
    return QLocale().timeFormat(QLocale::LongFormat).replace(QRegularExpression(QStringLiteral("\\s*t+\\s*$")), QString());
}

} // namespace tv::platform
