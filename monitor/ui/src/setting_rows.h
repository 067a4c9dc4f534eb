// The settings lists of the target-folder and fax pages: the rows of the
// list mirror a vector of entries, and both pages delete and move them alike.
#pragma once

#include <QTreeWidget>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "companion/common.h"
#include "monitor/settings/sheet_text_ids.h"
#include "monitor/settings/text_ids.h"
#include "platform/text.h"

namespace zv::monitor::ui {

// Deletes the selected row after the user agreed; the row to select next
// (-1 when the list is empty), or nothing when nothing was deleted.
template <class Entry>
std::optional<int> DeleteSettingRow(std::vector<Entry>& entries, QTreeWidget* list, int selected) {
  if (selected < 0) return std::nullopt;
  const std::string text = platform::FillInOrder(MonitorText(kIdsDeleteSetting), {std::to_string(selected + 1)});
  if (companion::ComShowMessageBox(text, MonitorText(kIdsDeleteCaption),
                                   companion::kMbOkCancel | companion::kMbIconQuestion) != companion::kIdOk)
    return std::nullopt;
  entries.erase(entries.begin() + selected);
  delete list->takeTopLevelItem(selected);
  return std::min(selected, static_cast<int>(entries.size()) - 1);
}

// Moves the selected entry by `delta`; its new row, or nothing at either end.
template <class Entry>
std::optional<int> MoveSettingRow(std::vector<Entry>& entries, int selected, int delta) {
  const int to = selected + delta;
  if (selected < 0 || to < 0 || to >= static_cast<int>(entries.size())) return std::nullopt;
  std::swap(entries[static_cast<std::size_t>(selected)], entries[static_cast<std::size_t>(to)]);
  return to;
}

}  // namespace zv::monitor::ui
