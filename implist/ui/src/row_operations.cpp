#include "implist/ui/row_operations.h"

#include <QLabel>
#include <QPointer>
#include <initializer_list>

#include "companion/trace.h"
#include "implist/operations.h"

namespace zv::implist::ui {
namespace {

std::vector<Row> ToRows(const std::vector<SelectedRow>& rows) {
  std::vector<Row> out;
  out.reserve(rows.size());
  for (const auto& r : rows) out.push_back({r.section, r.record});
  return out;
}

// The operations on a thread of their own (OperationRunner); the window
// thread only starts them and shows what they report.
class ToolRowOperations : public QObject, public RowOperations {
 public:
  explicit ToolRowOperations(Asker ask) : ask_(std::move(ask)) {}

  bool Start(RowOperation operation, const std::vector<SelectedRow>& selected, QWidget* parent,
             std::function<void(bool listChanged)> done) override {
    if (runner_.busy()) return false;
    const OpContext ctx = OpContext::Load();
    std::vector<Row> rows = ToRows(selected);
    std::function<OpResult(const std::atomic<bool>&)> work;
    switch (operation) {
      case RowOperation::View:
      case RowOperation::ViewEdit: {
        if (rows.size() != 1) {
          ask_(parent, OpsQText(kTxtViewOneRowOnly), QMessageBox::Ok);
          return false;
        }
        const bool edit = operation == RowOperation::ViewEdit;
        ShowNotice(parent, {kTxtViewNotice1, kTxtViewNotice2, kTxtViewNotice3, kTxtViewNotice4});
        work = [ctx, rows, edit](const std::atomic<bool>& cancel) {
          OpContext c = ctx;
          c.cancel = &cancel;
          return ViewRows(c, rows, edit);
        };
        break;
      }
      case RowOperation::Print:
        if (rows.empty()) {
          ZV_TRACE("_ImpList", "PrintOperation:No items were selected!");
          return false;
        }
        work = [ctx, rows](const std::atomic<bool>& cancel) {
          OpContext c = ctx;
          c.cancel = &cancel;
          return PrintRows(c, rows);
        };
        break;
      case RowOperation::RemoveFromList:
        if (rows.empty() ||
            ask_(parent, OpsQText(kTxtConfirmRemoveList), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
          return false;
        work = [ctx, rows](const std::atomic<bool>&) {
          OpResult r;
          std::vector<std::string> sections;
          for (const auto& row : rows) sections.push_back(row.section);
          r.ok = RemoveRowsFromList(ctx.listFile, sections);
          if (r.ok) r.removedSections = sections;
          return r;
        };
        break;
      case RowOperation::RemoveFromBinder:
        if (rows.empty() ||
            ask_(parent, OpsQText(kTxtConfirmRemoveBinder), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
          return false;
        ShowNotice(parent, {kTxtRemoveNotice1, kTxtRemoveNotice2, kTxtRemoveNotice3, kTxtRemoveNotice4});
        work = [ctx, rows](const std::atomic<bool>& cancel) {
          OpContext c = ctx;
          c.cancel = &cancel;
          return RemoveRowsFromBinder(c, rows);
        };
        break;
    }
    QPointer<QWidget> owner(parent);
    const bool started = runner_.Start(std::move(work), [this, owner, done](OpResult result) {
      QMetaObject::invokeMethod(
          this,
          [this, owner, done, result = std::move(result)] {
            notice_.reset();
            for (const auto& m : result.messages) ask_(owner.data(), QString::fromStdString(m.text), QMessageBox::Ok);
            if (done) done(!result.removedSections.empty());
          },
          Qt::QueuedConnection);
    });
    if (!started) notice_.reset();
    return started;
  }

 private:
  static QString OpsQText(int id) { return QString::fromStdString(OpsText(id)); }

  // A small window that says what is going on while the operation runs.
  void ShowNotice(QWidget* parent, std::initializer_list<int> lines) {
    QString text;
    for (int id : lines) text += (text.isEmpty() ? "" : "\n") + OpsQText(id);
    notice_ = std::make_unique<QLabel>(text, parent, Qt::Tool | Qt::FramelessWindowHint);
    notice_->setMargin(16);
    notice_->setFrameStyle(QFrame::Box);
    notice_->adjustSize();
    if (parent != nullptr) notice_->move(parent->mapToGlobal(parent->rect().center()) - notice_->rect().center());
    notice_->show();
  }

  Asker ask_;
  std::unique_ptr<QLabel> notice_;
  // Last: destroyed first, so the running operation is stopped and joined
  // before anything it reports to goes away.
  OperationRunner runner_;
};

}  // namespace

std::unique_ptr<RowOperations> MakeToolRowOperations(Asker ask) {
  return std::make_unique<ToolRowOperations>(std::move(ask));
}

}  // namespace zv::implist::ui
