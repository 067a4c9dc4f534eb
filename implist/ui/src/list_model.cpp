#include "implist/ui/list_model.h"

#include <algorithm>

#include "implist/ui/texts.h"
#include "implist/ui/viewer_settings.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::implist::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string TextIn(int id, companion::Language language) {
  return companion::LoadString(companion::StringTable::ImportList, id, language);
}

QString TimeText(const std::string& time, companion::Language language) {
  if (time.size() < 12 || TimeKey(time) == 0) return Q(time);
  const QString y = Q(time.substr(0, 4)), mo = Q(time.substr(4, 2)), d = Q(time.substr(6, 2));
  const QString hm = Q(time.substr(8, 2)) + u':' + Q(time.substr(10, 2));
  if (language == companion::Language::English) return mo + u'/' + d + u'/' + y + u' ' + hm;
  return y + u'/' + mo + u'/' + d + u' ' + hm;
}

QString LocationText(const Record& r, companion::Language language) {
  const std::string binder = r.Get("Binder"), index = r.Get("index");
  if (r.Get("Keyword") == "0") return Q(platform::FillInOrder(TextIn(kTxtLocationFolder, language), {binder, index}));
  if (r.Get("bWorkDesk") == "1") return Q(TextIn(kTxtWorkDesk, language) + ":" + index);
  const std::string link = r.Get("LinkFolderName");
  if (index.empty()) return Q(link + ":" + binder);
  return Q(link + ":" + binder + "\\" + index);
}

}  // namespace

std::int64_t TimeKey(std::string_view time) {
  std::int64_t key = 0;
  std::size_t digits = 0;
  for (char c : time) {
    if (c < '0' || c > '9' || digits == 14) break;
    key = key * 10 + (c - '0');
    ++digits;
  }
  if (digits < 12) return 0;
  for (; digits < 14; ++digits) key *= 10;
  return key;
}

ListRow MakeRow(std::string section, Record record, companion::Language language) {
  ListRow row;
  row.section = std::move(section);
  const std::string time = record.Get("Time");
  row.time = TimeKey(time);
  row.text[0] = TimeText(time, language);
  row.text[1] = Q(record.Get("Name"));
  row.text[2] = Q(TextIn(record.Get("Result") == "1" ? kTxtResultOk : kTxtResultNg, language));
  row.text[3] = LocationText(record, language);
  row.record = std::move(record);
  return row;
}

std::vector<ListRow> LoadRows(const std::string& listFile, const ListFilter& filter, companion::Language language) {
  std::vector<ListRow> rows;
  for (std::string& section : platform::ini::SectionNames(listFile)) {
    Record r;
    if (!ReadRecord(listFile, section, r) || !filter.Shows(r)) continue;
    rows.push_back(MakeRow(std::move(section), std::move(r), language));
  }
  return rows;
}

ImpListModel::ImpListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ImpListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ImpListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant ImpListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= 4) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return Row(index.row()).text[index.column()];
  return {};
}

QVariant ImpListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
  QString title = Q(TextIn(kTxtColumnTime + section, language_));
  if (section == sortColumn_) title += sortOrder_ == Qt::AscendingOrder ? QStringLiteral(" ↑") : QStringLiteral(" ↓");
  return title;
}

void ImpListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column > 3) return;
  beginResetModel();
  sortColumn_ = column;
  sortOrder_ = order;
  auto less = [column](const ListRow& a, const ListRow& b) {
    if (column == 0) return a.time < b.time;
    return a.text[column].compare(b.text[column]) < 0;
  };
  if (order == Qt::AscendingOrder)
    std::stable_sort(rows_.begin(), rows_.end(), less);
  else
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRow& a, const ListRow& b) { return less(b, a); });
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, 3);
}

void ImpListModel::SetRows(std::vector<ListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

}  // namespace zv::implist::ui
