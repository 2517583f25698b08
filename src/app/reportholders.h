#pragma once
// The fourteen report holder windows created at start-up. They are never shown; each one
// holds one report layout. The reports module supplies the real holders through
// setReportHolderFactory(); without it each holder is an empty window of the right name.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace tv::app {

struct ReportHolderSpec {
    const char* instance;    // e.g. "DTopicsForm"
    const char* className;   // e.g. "TDTopicsForm"
};

// In creation order.
inline constexpr std::array<ReportHolderSpec, 14> kReportHolders = {{
    {"DNewsMemoForm", "TDNewsMemoForm"}, {"DNewsForm", "TDNewsForm"},
    {"DKBMemoForm1", "TDKBMemoForm1"},   {"DKBForm1", "TDKBForm1"},
    {"CISForm1", "TCISForm1"},           {"CISMemoForm1", "TCISMemoForm1"},
    {"DSPForm1", "TDSPForm1"},           {"DSPMemoForm1", "TDSPMemoForm1"},
    {"SWAGForm", "TSWAGForm"},           {"BooksForm1", "TBooksForm1"},
    {"DTopicsForm", "TDTopicsForm"},     {"DTopicsMemoForm", "TDTopicsMemoForm"},
    {"PrivatForm", "TPrivatForm"},       {"PrivatMemoForm", "TPrivatMemoForm"},
}};

// Makes the holder of one instance (nullptr: an empty holder is used instead).
using ReportHolderFactory = std::function<QWidget*(const ReportHolderSpec&)>;
void setReportHolderFactory(ReportHolderFactory factory);

// Creates the fourteen holders in order. They live until the returned list is destroyed.
std::vector<std::unique_ptr<QWidget>> createReportHolders();
// The holder of that instance name among those created last, or nullptr.
QWidget* reportHolder(const char* instance);

} // namespace tv::app
