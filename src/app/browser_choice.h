// The browser that opens bookmarks: the settings' path, else the system's
// HTTP handler, or the program of the window beside ours; and its badge on
// the header (a click picks the window beside, a right click the system's).
#pragma once

#include <string>

#include "canvas/animation_box.h"
#include "features/look.h"
#include "platform/platform.h"
#include "store/data_paths.h"
#include "text/filesystem.h"
#include "ui/controls.h"

namespace lh::app {

class BrowserChoice {
 public:
  BrowserChoice(platform::Platform& platform, text::FileSystem& fs, const store::DataPaths& paths,
                ui::CanvasControl& badgeCanvas, features::Pictures& pictures);

  // The badge object on the header with its handlers.
  void createBadge(canvas::AnimationBox& header, std::function<platform::Point()> capturePoint,
                   std::function<int()> mainLeft);

  void init();
  void detectSystemBrowser();
  void pickBrowserAtPoint();
  void showBadge(const canvas::Picture& icon32);
  const std::string& path() const { return path_; }
  canvas::ObjectId badge() const { return badge_; }
  canvas::ObjectId badgeIcon() const { return badgeIcon_; }

 private:
  void write(const std::string& path, const std::string& nameSource);

  platform::Platform& platform_;
  text::FileSystem& fs_;
  const store::DataPaths& paths_;
  ui::CanvasControl& bow_;
  features::Pictures& pictures_;
  canvas::AnimationBox* header_ = nullptr;
  std::function<platform::Point()> capturePoint_;
  std::function<int()> mainLeft_;
  canvas::ObjectId badge_ = 0, badgeIcon_ = 0, badgeFrame_ = 0;
  std::string path_;
};

// The executable of an HTTP open command: the text inside the leading pair
// of quotes; a command that does not start with a quote is read up to the
// end of its ".exe", or else its first space.
std::string commandPath(const std::string& command);
// The display name of a browser: the file name without its extension.
std::string displayName(const std::string& path);

}  // namespace lh::app
