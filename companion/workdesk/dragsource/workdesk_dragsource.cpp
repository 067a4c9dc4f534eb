// The work desk's drag source, as a small tool: it writes an undo folder
// with the dragged pages, offers the pages' drag data from its window and
// answers the page-room request of the window the pages are dropped on.
//
//   workdesk-dragsource --folder F [--pages N] [--partial] [--card]
//                       [--undo-version V] [--answer A | --silent]
//                       [--payload-file P] [--log L]
//
// The pages are "Page<i>.pdf" in F/UndoFolder, listed in its UndoData.ini.
// --payload-file writes the drag data's bytes there (for a drop made by a
// test). Each page-room request is appended to --log (and stdout) as
// "pageroom <n>"; the answer is A (default 0), none with --silent. The
// undo folder's pages are removed when the target says "moved <n>" after
// filing them (answered "ok"); otherwise they stay.
#include <unistd.h>
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <cstdio>
#include <string>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "workdesk/drag_data.h"

namespace wd = zv::companion::workdesk;
namespace ini = zv::platform::ini;

namespace {

struct Options {
  std::string folder, payloadFile, log;
  int pages = 2;
  bool partial = false, card = false, silent = false;
  int undoVersion = 1;
  int answer = 0;
};

// A one-page PDF showing `text`.
std::string OnePagePdf(const std::string& text) {
  const std::string stream = "BT /F1 36 Tf 72 700 Td (" + text + ") Tj ET";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
      "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "\nendstream",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t o : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

bool WriteUndoFolder(const Options& o) {
  const std::string undo = zv::platform::JoinPath(o.folder, wd::kUndoFolderName);
  if (!zv::platform::MakeFolders(undo)) return false;
  const std::string ini = zv::platform::JoinPath(undo, wd::kUndoDataName);
  zv::platform::RemoveFile(ini);
  ini::WriteGroup group(ini);
  ini::WriteInt(ini, "Version", "Version", o.undoVersion);
  ini::WriteInt(ini, "BinderInfo", "PageTotal", o.pages);
  if (o.card) ini::WriteInt(ini, "BinderInfo", "CardBinder", 1);
  for (int i = 1; i <= o.pages; ++i) {
    const std::string n = std::to_string(i);
    if (!zv::platform::WriteFileAtomic(zv::platform::JoinPath(undo, "Page" + n + ".pdf"), OnePagePdf("Desk page " + n)))
      return false;
    ini::WriteInt(ini, "PageInfo", "Page" + n + "Flag", 0);
    ini::WriteString(ini, "PageInfo", "Page" + n + "FilePageName", "Page" + n + ".pdf");
    ini::WriteInt(ini, "PageInfo", "Page" + n + "FilePageNumber", 1);
  }
  return group.Commit();
}

void Say(const Options& o, const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (!o.log.empty()) zv::platform::AppendToFile(o.log, line + "\n");
}

class SourceWindow : public QLabel {
 public:
  SourceWindow(const Options& o, QByteArray payload) : o_(o), payload_(std::move(payload)) {
    setText(QString("Drag these %1 pages onto the send-file window").arg(o.pages));
    setMinimumSize(320, 80);
    setAlignment(Qt::AlignCenter);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* data = new QMimeData;
    data->setData(wd::kDragMimeType, payload_);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drag's result is only what the target accepted while the pages
    // hovered: the pages go when the target says "moved".
    const Qt::DropAction action = drag->exec(Qt::MoveAction);
    Say(o_, action == Qt::MoveAction ? "drag ended: move" : "drag ended: ignore");
  }

 private:
  Options o_;
  QByteArray payload_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--folder")
      o.folder = next();
    else if (a == "--pages")
      o.pages = std::atoi(next().c_str());
    else if (a == "--partial")
      o.partial = true;
    else if (a == "--card")
      o.card = true;
    else if (a == "--undo-version")
      o.undoVersion = std::atoi(next().c_str());
    else if (a == "--answer")
      o.answer = std::atoi(next().c_str());
    else if (a == "--silent")
      o.silent = true;
    else if (a == "--payload-file")
      o.payloadFile = next();
    else if (a == "--log")
      o.log = next();
    else {
      std::fprintf(stderr, "workdesk-dragsource: unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (o.folder.empty() || !zv::platform::IsAbsolutePath(o.folder) || !WriteUndoFolder(o)) {
    std::fprintf(stderr, "workdesk-dragsource: an absolute --folder that can be written is needed\n");
    return 2;
  }
  wd::DragData d;
  d.sourcePid = static_cast<std::int32_t>(::getpid());
  d.folder = o.folder;
  d.fromCardOrEBinder = o.card ? 1 : 0;
  d.wholeFiles = o.partial ? 0 : 1;
  d.pageCount = o.pages;
  const std::string bytes = wd::EncodeDragData(d);
  const QByteArray payload(bytes.data(), static_cast<qsizetype>(bytes.size()));

  QLocalServer server;
  const QString socketPath = QString::fromStdString(wd::PageRoomSocketPath(::getpid()));
  QLocalServer::removeServer(socketPath);
  server.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server.listen(socketPath)) {
    std::fprintf(stderr, "workdesk-dragsource: cannot listen on %s\n", socketPath.toStdString().c_str());
    return 2;
  }
  QObject::connect(&server, &QLocalServer::newConnection, [&] {
    while (QLocalSocket* s = server.nextPendingConnection()) {
      QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      QObject::connect(s, &QLocalSocket::readyRead, s, [&o, s] {
        if (!s->canReadLine()) return;
        const std::string line = s->readLine(256).trimmed().toStdString();
        Say(o, line);
        if (line == std::string(wd::kMovedRequest) + " " + std::to_string(o.pages)) {
          // Filed: the pages leave the undo folder.
          const std::string undo = zv::platform::JoinPath(o.folder, wd::kUndoFolderName);
          for (int i = 1; i <= o.pages; ++i)
            zv::platform::RemoveFile(zv::platform::JoinPath(undo, "Page" + std::to_string(i) + ".pdf"));
          s->write("ok\n");
          s->flush();
          return;
        }
        if (o.silent || !line.starts_with(std::string(wd::kPageRoomRequest) + " ")) return;  // never answers
        s->write((std::to_string(o.answer) + "\n").c_str());
        s->flush();
      });
    }
  });
  if (!o.payloadFile.empty() && !zv::platform::WriteFileAtomic(o.payloadFile, bytes)) return 2;
  SourceWindow window(o, payload);
  window.setWindowTitle("Work desk");
  window.show();
  Say(o, "ready");
  return app.exec();
}
