// Test helpers: a private folder per test with the process's places pointed
// into it, and small PDF files made with qpdf.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zv::dravel::test {

// Creates a fresh folder and points the program folder, the temporary
// folder, the application-data folder, the registry files and the viewer
// folder into it; everything is restored and removed on destruction.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  std::string programDir() const { return Path("program"); }
  std::string tempDir() const { return Path("tmp"); }
  std::string appDataDir() const { return Path("appdata"); }
  std::string viewerDir() const { return Path("viewer"); }
  // Writes <program>/EnvSetInfo.ini with the given [option] keys.
  void WriteEnvSetInfo(const std::map<std::string, std::string>& option = {}) const;

 private:
  std::string root_;
  std::map<std::string, std::string> saved_;
  std::vector<std::string> unset_;
  void Set(const char* name, const std::string& value);
};

// A PDF with one page per entry of `mediaBoxes` (width, height in points),
// each page rotated by `rotate` degrees.
void MakePdf(const std::string& path, const std::vector<std::pair<double, double>>& mediaBoxes, int rotate = 0);
// A PDF of `pages` blank pages: no content stream, no resources, and an A4
// MediaBox only with `mediaBox`.
void MakeBlankPdf(const std::string& path, int pages, bool mediaBox);

// The ini file's keys of a section in file order.
std::vector<std::string> KeysInOrder(const std::string& file, const std::string& section);

// Runs a program to its end and captures its standard output and error.
struct RunResult {
  int exitCode = -1;
  std::string out, err;
};
RunResult Run(const std::string& program, const std::vector<std::string>& args);

}  // namespace zv::dravel::test
