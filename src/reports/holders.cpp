#include "holders.h"

#include "reports/layouts.h"

namespace tv::reports {

ReportHolder::ReportHolder(QWidget* owner, const char* instanceName, const char* layoutName, int base)
    : QWidget(owner, Qt::Window), layout_(makeLayout(QString::fromUtf8(layoutName))), base_(base)
{
    setObjectName(QString::fromUtf8(instanceName));
    setAttribute(Qt::WA_DontShowOnScreen);
    setVisible(false);
    layout_.data = &data_;
}

void ReportHolder::bindTable(const Table* table)
{
    data_.setTable(table);
    layout_.data = &data_;
}

TDNewsMemoForm::TDNewsMemoForm(QWidget* owner) : ReportHolder(owner, "DNewsMemoForm", "DNewsMemo", 3) {}
TDNewsForm::TDNewsForm(QWidget* owner) : ReportHolder(owner, "DNewsForm", "DNewsReport", 3) {}
TDKBMemoForm1::TDKBMemoForm1(QWidget* owner) : ReportHolder(owner, "DKBMemoForm1", "DKBMemo", 2) {}
TDKBForm1::TDKBForm1(QWidget* owner) : ReportHolder(owner, "DKBForm1", "DKBReport", 2) {}
TCISForm1::TCISForm1(QWidget* owner) : ReportHolder(owner, "CISForm1", "CISReport", 4) {}
TCISMemoForm1::TCISMemoForm1(QWidget* owner) : ReportHolder(owner, "CISMemoForm1", "CISMemo", 4) {}
TDSPForm1::TDSPForm1(QWidget* owner) : ReportHolder(owner, "DSPForm1", "DSPReport", 5) {}
TDSPMemoForm1::TDSPMemoForm1(QWidget* owner) : ReportHolder(owner, "DSPMemoForm1", "DSPMemo", 5) {}
TSWAGForm::TSWAGForm(QWidget* owner) : ReportHolder(owner, "SWAGForm", "SWAGReport", 6) {}
TBooksForm1::TBooksForm1(QWidget* owner) : ReportHolder(owner, "BooksForm1", "BooksReport", 7) {}
TDTopicsForm::TDTopicsForm(QWidget* owner) : ReportHolder(owner, "DTopicsForm", "DtopicsReport", 1) {}
TDTopicsMemoForm::TDTopicsMemoForm(QWidget* owner) : ReportHolder(owner, "DTopicsMemoForm", "DtopicsMemo", 1) {}
TPrivatForm::TPrivatForm(QWidget* owner) : ReportHolder(owner, "PrivatForm", "PrivatReport", 9) {}
TPrivatMemoForm::TPrivatMemoForm(QWidget* owner) : ReportHolder(owner, "PrivatMemoForm", "PrivatMemo", 9) {}

std::vector<ReportHolder*> createHolders(QWidget* owner, const TableLookup& tables)
{
    std::vector<ReportHolder*> made = {
        new TDNewsMemoForm(owner), new TDNewsForm(owner), new TDKBMemoForm1(owner), new TDKBForm1(owner),
        new TCISForm1(owner),      new TCISMemoForm1(owner), new TDSPForm1(owner),  new TDSPMemoForm1(owner),
        new TSWAGForm(owner),      new TBooksForm1(owner),   new TDTopicsForm(owner), new TDTopicsMemoForm(owner),
        new TPrivatForm(owner),    new TPrivatMemoForm(owner),
    };
    for (ReportHolder* h : made)
        h->bindTable(tables ? tables(h->base()) : nullptr);
    return made;
}

ReportHolder* findHolder(const QWidget* owner, const QString& instanceName)
{
    return owner ? owner->findChild<ReportHolder*>(instanceName, Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace tv::reports
