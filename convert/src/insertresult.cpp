// Results of the base library's insertion as the import reports them.
#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/text.h"

namespace zv::dravel {

std::string FormatMessage(int id, int number) {
  return platform::ReplaceFirst(Message(id), "%d", std::to_string(number));
}
std::string FormatMessage(int id, std::string_view text) { return platform::ReplaceFirst(Message(id), "%s", text); }

InsertReport ReportInsertResult(int r) {
  struct Row {
    int r, errorCode, messageId;
  };
  static constexpr Row kRows[] = {
      {-1, 340001, 31}, {-2, 340002, 32},  {-3, 340003, 33},  {-4, 340004, 34},  {-7, 340006, 37},  {-8, 340008, 74},
      {-9, 340009, 75}, {-10, 340010, 76}, {-12, 331104, 77}, {-13, 340013, 78}, {-14, 340014, 79},
  };
  InsertReport report;
  if (r == 0) return report;
  if (r == -6) {
    // The binder is in use: not an error, the file is tried again later.
    report.result = 1;
    report.errorCode = -100000;
    report.messageId = 81;
    report.message = Message(companion::kDravelBinderBusy);
    return report;
  }
  report.result = -1;
  report.errorCode = 340100;
  report.messageId = 35;
  for (const Row& row : kRows) {
    if (row.r == r) {
      report.errorCode = row.errorCode;
      report.messageId = row.messageId;
    }
  }
  report.message = FormatMessage(report.messageId, r);
  return report;
}

}  // namespace zv::dravel
