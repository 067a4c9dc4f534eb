#include "implist/ui/list_model.h"

#include <algorithm>
#include <cstdio>

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

}  // namespace

// The texts every row of one language shares, looked up once per language.
struct RowLabels {
  explicit RowLabels(companion::Language l)
      : language(l),
        ok(Q(TextIn(kTxtResultOk, l))),
        ng(Q(TextIn(kTxtResultNg, l))),
        folder(TextIn(kTxtLocationFolder, l)),
        workDesk(TextIn(kTxtWorkDesk, l)) {}
  companion::Language language;
  QString ok, ng;
  std::string folder, workDesk;
};

namespace {

QString TimeText(const std::string& time, companion::Language language) {
  if (time.size() < 12 || TimeKey(time) == 0) return Q(time);
  // "YYYY/MM/DD hh:mm", or "MM/DD/YYYY hh:mm" in English; the digits are checked above.
  const char* t = time.data();
  const bool english = language == companion::Language::English;
  QChar out[16];
  int n = 0;
  auto put = [&](int from, int count) {
    for (int i = 0; i < count; ++i) out[n++] = QLatin1Char(t[from + i]);
  };
  if (english) {
    put(4, 2), out[n++] = u'/', put(6, 2), out[n++] = u'/', put(0, 4);
  } else {
    put(0, 4), out[n++] = u'/', put(4, 2), out[n++] = u'/', put(6, 2);
  }
  out[n++] = u' ';
  put(8, 2), out[n++] = u':', put(10, 2);
  return QString(out, n);
}

// The keys a row shows, picked from the record in one walk.
struct Shown {
  explicit Shown(const Record& r) {
    const std::pair<std::string_view, const std::string**> wanted[] = {
        {"Time", &time},   {"Name", &name},       {"Result", &result},      {"Binder", &binder},
        {"index", &index}, {"Keyword", &keyword}, {"bWorkDesk", &workDesk}, {"LinkFolderName", &link}};
    for (const auto& [k, v] : r.keys)
      for (const auto& [key, slot] : wanted)
        if (*slot == &kNone && k.size() == key.size() && platform::EqualsNoCase(k, key)) {
          *slot = &v;
          break;
        }
  }
  static inline const std::string kNone;
  const std::string *time = &kNone, *name = &kNone, *result = &kNone, *binder = &kNone, *index = &kNone,
                    *keyword = &kNone, *workDesk = &kNone, *link = &kNone;
};

QString LocationText(const Shown& r, const RowLabels& labels) {
  if (*r.keyword == "0") return Q(platform::FillInOrder(labels.folder, {*r.binder, *r.index}));
  if (*r.workDesk == "1") return Q(labels.workDesk + ":" + *r.index);
  std::string text;
  text.reserve(r.link->size() + r.binder->size() + r.index->size() + 2);
  text.append(*r.link).append(1, ':').append(*r.binder);
  if (!r.index->empty()) text.append(1, '\\').append(*r.index);
  return Q(text);
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

namespace {

void MakeTexts(const ListRow& row, const RowLabels& labels) {
  const Shown shown(row.record);
  row.text[0] = TimeText(*shown.time, labels.language);
  row.text[1] = Q(*shown.name);
  row.text[2] = *shown.result == "1" ? labels.ok : labels.ng;
  row.text[3] = LocationText(shown, labels);
  row.hasTexts = true;
}

ListRow BareRow(std::string section, Record record) {
  ListRow row;
  row.section = std::move(section);
  row.time = TimeKey(record.Get("Time"));
  row.record = std::move(record);
  return row;
}

}  // namespace

ListRow MakeRow(std::string section, Record record, companion::Language language) {
  ListRow row = BareRow(std::move(section), std::move(record));
  MakeTexts(row, RowLabels(language));
  return row;
}

std::vector<ListRow> LoadRows(const std::string& listFile, const ListFilter& filter) {
  std::vector<std::string> sections = platform::ini::SectionNames(listFile);
  std::vector<ListRow> rows;
  rows.reserve(sections.size());
  for (std::string& section : sections) {
    Record r;
    if (!ReadRecord(listFile, section, r) || !filter.Shows(r)) continue;
    rows.push_back(BareRow(std::move(section), std::move(r)));
  }
  return rows;
}

ImpListModel::ImpListModel(QObject* parent)
    : QAbstractTableModel(parent), labels_(std::make_unique<RowLabels>(language_)) {}

ImpListModel::~ImpListModel() = default;

void ImpListModel::SetLanguage(companion::Language language) {
  beginResetModel();
  language_ = language;
  labels_ = std::make_unique<RowLabels>(language);
  for (const ListRow& row : rows_) row.hasTexts = false;
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, 3);
}

const ListRow& ImpListModel::WithTexts(const ListRow& row) const {
  if (!row.hasTexts) MakeTexts(row, *labels_);
  return row;
}

const QString& ImpListModel::Text(int row, int column) const { return WithTexts(Row(row)).text[column]; }

int ImpListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ImpListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant ImpListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= 4) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return Text(index.row(), index.column());
  return {};
}

QVariant ImpListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
  QString title = Q(TextIn(kTxtColumnTime + section, language_));
  if (section == sortColumn_) title += sortOrder_ == Qt::AscendingOrder ? QStringLiteral(" ↑") : QStringLiteral(" ↓");
  return title;
}

void ImpListModel::SortRows(int column, Qt::SortOrder order) {
  sortColumn_ = column;
  sortOrder_ = order;
  if (column != 0)
    for (const ListRow& row : rows_) WithTexts(row);
  auto less = [column](const ListRow& a, const ListRow& b) {
    if (column == 0) return a.time < b.time;
    return a.text[column].compare(b.text[column]) < 0;
  };
  if (order == Qt::AscendingOrder)
    std::stable_sort(rows_.begin(), rows_.end(), less);
  else
    std::stable_sort(rows_.begin(), rows_.end(), [&](const ListRow& a, const ListRow& b) { return less(b, a); });
}

void ImpListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column > 3) return;
  beginResetModel();
  SortRows(column, order);
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, 3);
}

void ImpListModel::SetRows(std::vector<ListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void ImpListModel::SetRows(std::vector<ListRow> rows, int column, Qt::SortOrder order) {
  if (column < 0 || column > 3) column = 0;
  // The titles carry the sort mark: the header is told only when it moved.
  const bool marks = column != sortColumn_ || order != sortOrder_;
  beginResetModel();
  rows_ = std::move(rows);
  SortRows(column, order);
  endResetModel();
  if (marks) emit headerDataChanged(Qt::Horizontal, 0, 3);
}

}  // namespace zv::implist::ui
