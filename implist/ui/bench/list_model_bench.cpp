// The window's refill on a full list (1,500 records, the most the list data
// keeps): reading the local list, filtering, building the rows and sorting,
// against filling the same model with the same rows prepared beforehand.
// Both with a table view showing the model. Goal: at most 3x. The build
// machine is shared, so the rounds alternate and the best of each counts.
// Run with QT_QPA_PLATFORM=offscreen (or under a display).
#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "implist/ui/list_model.h"
#include "implist/ui/viewer_settings.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testing/temp_dir.h"

namespace {

using namespace zv;
using namespace zv::implist;
using Clock = std::chrono::steady_clock;
namespace ini = platform::ini;

constexpr int kRows = 1500;
constexpr int kRounds = 31;  // interleaved; the best and the median of each are printed

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void WriteList(const std::string& file, const std::string& link) {
  ini::BeginGroup(file);
  for (int i = 0; i < kRows; ++i) {
    Record r;
    // Times across a year end, in no order.
    const int day = (i * 7919) % 60;
    const int year = day < 30 ? 2025 : 2026, month = day < 30 ? 12 : 1, mday = day < 30 ? day + 1 : day - 29;
    char time[32];
    std::snprintf(time, sizeof time, "%04d%02d%02d%02d%02d%02d", year, month, mday, i % 24, i % 60, (i * 7) % 60);
    r.Set("Time", time);
    r.Set("HostName", "pc-here");
    r.Set("File", "/scan/doc" + std::to_string(i) + ".pdf");
    r.Set("Name", "Document " + std::to_string((i * 31) % kRows));
    r.Set("Result", i % 10 == 0 ? "0" : "1");
    r.Set("Binder", "Inbox");
    r.Set("index", "Index " + std::to_string(i % 9));
    r.Set("LinkFolderPath", link);
    r.Set("LinkFolderName", "Local");
    r.Set("SetNumber", std::to_string(1 + i % 4));
    r.Set("Keyword", "20260101000000");
    r.Set("ImpUser1", "taro,");
    r.Set("ImpMode", "0");
    r.Set("UserName", "taro");
    AppendRecord(file, r, 2);
  }
  ini::Flush(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::TempDir dir;
  const std::string link = dir / "link";
  const std::string list = dir / "ImpListData.ini";
  const std::string monitor = dir / "EnvSetInfo.ini";
  WriteList(list, link);
  for (int n = 1; n <= 4; ++n) {
    ini::WriteString(monitor, "AutoFileRead", "TarFolder" + std::to_string(n), "/target");
    ini::WriteString(monitor, "AutoFileRead", "bCheck" + std::to_string(n), "1");
  }
  ui::ViewerSettings settings;
  settings.setFlag = 1;
  settings.link[0].path = link;
  settings.link[0].displayImp = "1,2,3,4,";
  const ui::ListFilter filter = ui::ListFilter::Make(settings, "pc-here", monitor);

  ui::ImpListModel model;
  QTableView view;
  view.setModel(&model);
  view.resize(760, 420);
  view.show();
  QApplication::processEvents();

  model.SetLanguage(companion::Language::Japanese);
  // The same rows with their texts made beforehand.
  std::vector<ui::ListRow> prepared;
  for (ui::ListRow& row : ui::LoadRows(list, filter))
    prepared.push_back(ui::MakeRow(std::move(row.section), std::move(row.record), companion::Language::Japanese));
  std::vector<double> refill, fill;
  for (int round = 0; round < kRounds; ++round) {
    auto t = Clock::now();
    model.SetRows(ui::LoadRows(list, filter), 0, Qt::DescendingOrder);
    QApplication::processEvents();
    view.repaint();
    refill.push_back(Ms(t));

    t = Clock::now();
    model.SetRows(prepared);
    QApplication::processEvents();
    view.repaint();
    fill.push_back(Ms(t));
  }
  std::printf("rows shown            %d of %d\n", model.rowCount(), kRows);
  std::printf("refill and sort       best %7.2f ms, median %7.2f ms\n", Best(refill), Median(refill));
  std::printf("fill prepared rows    best %7.2f ms, median %7.2f ms\n", Best(fill), Median(fill));
  std::printf("ratio                 best %7.2f, median %7.2f (goal <= 3)\n", Best(refill) / Best(fill),
              Median(refill) / Median(fill));
  return 0;
}
