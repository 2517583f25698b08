#include "app/reportholders.h"

#include <QPointer>

namespace tv::app {

namespace {
ReportHolderFactory g_factory;
std::vector<QPointer<QWidget>> g_created;
} // namespace

void setReportHolderFactory(ReportHolderFactory factory)
{
    g_factory = std::move(factory);
}

std::vector<std::unique_ptr<QWidget>> createReportHolders()
{
    std::vector<std::unique_ptr<QWidget>> holders;
    g_created.clear();
    for (const ReportHolderSpec& spec : kReportHolders) {
        QWidget* w = g_factory ? g_factory(spec) : nullptr;
        if (!w)
            w = new QWidget;
        w->setObjectName(QString::fromLatin1(spec.instance));
        w->setProperty("ClassName", QString::fromLatin1(spec.className));
        g_created.push_back(w);
        holders.emplace_back(w);
    }
    return holders;
}

QWidget* reportHolder(const char* instance)
{
    for (QWidget* w : g_created)
        if (w->objectName() == QLatin1String(instance))
            return w;
    return nullptr;
}

} // namespace tv::app
