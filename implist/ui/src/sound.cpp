#include "implist/ui/sound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include "companion/trace.h"
#include "platform/fs.h"

namespace zv::implist::ui {

namespace {

class QtSoundPlayer : public SoundPlayer {
 public:
  bool Play(const std::string& file) override {
    if (!platform::IsFile(file)) return false;
    // Without an output device the effect would only report errors later.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
      ZV_TRACE("_ImpList", "Sound: no audio output");
      return false;
    }
    effect_ = std::make_unique<QSoundEffect>(device);
    effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
    effect_->play();  // loads and plays asynchronously
    return true;
  }

 private:
  std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace

std::unique_ptr<SoundPlayer> MakeQtSoundPlayer() { return std::make_unique<QtSoundPlayer>(); }

}  // namespace zv::implist::ui
