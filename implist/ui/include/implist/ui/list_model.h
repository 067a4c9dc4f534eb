// The window's four-column list: rows built from the local list's records,
// kept in a table model that sorts by the stored time (column 0), the name,
// the result or the location text.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "companion/strings.h"
#include "implist/collate.h"

namespace zv::implist::ui {

struct ListFilter;

struct ListRow {
  std::string section;    // the record's section in ImpListData.ini
  std::int64_t time = 0;  // the stored time as the number YYYYMMDDhhmmss (0 when none)
  Record record;
  // The column texts; a model makes them when they are first shown or sorted.
  mutable QString text[4];
  mutable bool hasTexts = false;
};
struct RowLabels;

// The sort key of a Time text: its first 12 to 14 digits as YYYYMMDDhhmmss
// (seconds 00 when only 12 are given); 0 when it has fewer than 12.
std::int64_t TimeKey(std::string_view time);
// A row of a record with the column texts in `language`.
ListRow MakeRow(std::string section, Record record, companion::Language language);
// The records of a list file that the filter shows, as rows whose texts the
// model makes when they are needed (a view asks only for the rows it shows).
std::vector<ListRow> LoadRows(const std::string& listFile, const ListFilter& filter);

class ImpListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ImpListModel(QObject* parent = nullptr);
  ~ImpListModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Sorts by `column`; descending order reverses the ascending one.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  void SetRows(std::vector<ListRow> rows);
  // New rows in the given order: sorted before the view hears of them.
  void SetRows(std::vector<ListRow> rows, int column, Qt::SortOrder order);
  void Clear() { SetRows({}); }
  const ListRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
  // The text of a cell, made on first use.
  const QString& Text(int row, int column) const;
  int sortColumn() const { return sortColumn_; }
  Qt::SortOrder sortOrder() const { return sortOrder_; }
  void SetLanguage(companion::Language language);

 private:
  void SortRows(int column, Qt::SortOrder order);
  const ListRow& WithTexts(const ListRow& row) const;
  std::vector<ListRow> rows_;
  std::unique_ptr<RowLabels> labels_;
  int sortColumn_ = 0;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  companion::Language language_ = companion::Language::English;
};

}  // namespace zv::implist::ui
