// The real Hopvale killed with SIGKILL at random moments while a stream of
// documents arrives, restarted each time: once a last clean run has drained
// the target folder, every document is filed exactly once with its source in
// the dated Success folder, or its source is in the Fail folder with a result
// file. Nothing is lost. Every document has its own page width, so its page
// is recognised in the binder whatever keyword it was filed under.
#include <gtest/gtest.h>
#include <signal.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "binderlib/binderini.h"
#include "monitor/settings/lock_list.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

namespace pf = platform;

constexpr int kDocuments = 50;
constexpr int kRounds = 10;
constexpr int kBaseWidth = 300;  // document i is kBaseWidth + i points wide

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

std::string DocName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "doc%02d.pdf", i);
  return name;
}

// Writes document i beside the target folder, then renames it in, so the
// monitor never sees it half-written.
void DropDocument(const test::Installation& inst, int i) {
  const std::string staging = inst.Path("tmp/" + DocName(i));
  testing::PdfPage page;
  page.width = kBaseWidth + i;
  page.height = 500;
  testing::MakePdf(staging, {page});
  ASSERT_TRUE(pf::RenamePath(staging, pf::JoinPath(inst.target(), DocName(i)), false));
}

// The document a binder page belongs to (its width), -1 when unknown.
int DocumentOfPage(const std::string& pageFile) {
  try {
    QPDF pdf;
    pdf.processFile(pageFile.c_str());
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pages.size() != 1) return -1;
    auto box = pages[0].getMediaBox().getArrayAsRectangle();
    const int i = static_cast<int>(box.urx - box.llx + 0.5) - kBaseWidth;
    return i >= 0 && i < kDocuments ? i : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

// Files in a folder tree whose name is the document's or one of its "_002"
// names, keyed by document.
void CollectSources(const std::string& folder, std::map<int, std::vector<std::string>>& out) {
  auto list = pf::ListFolder(folder);
  if (!list) return;
  for (const auto& e : *list) {
    const std::string p = pf::JoinPath(folder, e.name);
    if (e.isFolder) {
      CollectSources(p, out);
      continue;
    }
    int i = -1;
    if (std::sscanf(e.name.c_str(), "doc%2d", &i) == 1 && i >= 0 && i < kDocuments) out[i].push_back(p);
  }
}

bool FilesLeftIn(const std::string& folder) {
  for (const auto& name : testing::Names(folder))
    if (pf::IsFile(pf::JoinPath(folder, name))) return true;
  return false;
}

TEST(HopvaleCrash, KilledAtRandomMomentsLosesNoDocument) {
  test::Installation inst;
  std::vector<std::string> env = inst.Environment();
  env.insert(env.end(), {"ZV_TEST_TIMESCALE=40", "XDG_RUNTIME_DIR"});
  std::mt19937 random(std::random_device{}());
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

  int dropped = 0;
  int kills = 0;
  for (int round = 0; round < kRounds; ++round) {
    pf::Process monitor = pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, env);
    ASSERT_TRUE(monitor.valid());
    // A few documents arrive while this copy runs, then it dies at a random moment.
    const int due = std::min(kDocuments, (round + 1) * kDocuments / kRounds);
    const int lifetime = between(150, 2500);
    int lived = 0;
    while (lived < lifetime) {
      const int step = between(20, 250);
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
      lived += step;
      if (dropped < due) DropDocument(inst, dropped++);
    }
    while (dropped < due) DropDocument(inst, dropped++);
    if (monitor.IsRunning()) {
      kill(monitor.pid(), SIGKILL);
      ++kills;
    }
    monitor.Wait(10000);
  }

  // The last run drains the folder and closes cleanly.
  pf::Process monitor = pf::Process::Spawn(ZV_HOPVALE_EXE, {}, {}, env);
  ASSERT_TRUE(monitor.valid());
  const bool drained = WaitFor(
      [&] {
        pf::ini::ClearCache();
        if (FilesLeftIn(inst.target())) return false;
        for (const auto& e : ReadLockList(inst.settings()))
          if (e.readState == 1) return false;
        return true;
      },
      60000);
  kill(monitor.pid(), SIGTERM);
  EXPECT_EQ(monitor.Wait(30000), 0);
  EXPECT_TRUE(drained) << "documents left: " << ::testing::PrintToString(testing::Names(inst.target()));

  // Pages per document, over every binder of the cabinet.
  std::map<int, int> pages;
  int unknownPages = 0;
  const std::string cabinet = pf::ParentFolder(pf::TrimTrailingSeparator(inst.binder()));
  for (const auto& name : testing::Names(cabinet)) {
    const std::string binder = pf::JoinPath(cabinet, name);
    if (!pf::IsFolder(binder)) continue;
    for (const auto& p : companion::binder::ReadBinder(binder, false).pages) {
      const int i = p.filePath.empty() ? -1 : DocumentOfPage(p.filePath);
      if (i < 0)
        ++unknownPages;
      else
        ++pages[i];
    }
  }
  std::map<int, std::vector<std::string>> succeeded, failed, waiting;
  CollectSources(pf::JoinPath(inst.target(), "Success"), succeeded);
  CollectSources(pf::JoinPath(inst.target(), "Fail"), failed);
  CollectSources(inst.target(), waiting);  // includes both of the above
  const std::string results = test::ReadTree(inst.Path("program/Rslt"), "ImpRslt_");

  int doubles = 0, lost = 0, failedCount = 0;
  for (int i = 0; i < kDocuments; ++i) {
    const std::size_t copies = waiting[i].size();
    EXPECT_EQ(copies, 1u) << DocName(i) << " has " << copies << " source copies";
    if (succeeded.count(i) != 0) {
      if (pages[i] == 0) {
        ++lost;
        ADD_FAILURE() << DocName(i) << " is in Success but not in the binder";
      }
      if (pages[i] > 1) ++doubles;
    } else if (failed.count(i) != 0) {
      ++failedCount;
      EXPECT_NE(results.find("File=" + inst.target() + "/" + DocName(i)), std::string::npos)
          << DocName(i) << " failed without a result file";
      if (pages[i] > 1) ++doubles;
    } else {
      ++lost;
      ADD_FAILURE() << DocName(i) << " is neither in Success nor in Fail (" << pages[i] << " pages filed)";
    }
  }
  std::printf("[ crash    ] %d kills, %d documents: %d double imports, %d failed, %d lost, %d unknown pages\n", kills,
              kDocuments, doubles, failedCount, lost, unknownPages);
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(unknownPages, 0);
  RecordProperty("double_imports", doubles);
}

}  // namespace
}  // namespace zv::monitor
