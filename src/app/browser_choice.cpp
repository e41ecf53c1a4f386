#include "app/browser_choice.h"

#include "text/gbk.h"
#include "ui/layout.h"
#include "text/ini.h"

namespace lh::app {

std::string displayName(const std::string& path) {
  const std::size_t slash = text::findLast(path, "\\");
  const std::string file = slash == text::npos ? path : path.substr(slash + 1);
  const std::size_t dot = text::findLast(file, ".");
  return dot == text::npos ? file : file.substr(0, dot);
}

std::string commandPath(const std::string& command) {
  if (!command.empty() && command[0] == '"') {
    const std::size_t q = command.find('"', 1);
    return q == std::string::npos ? std::string() : command.substr(1, q - 1);
  }
  const std::size_t exe = text::findCaseless(command, ".exe");
  if (exe != text::npos) return command.substr(0, exe + 4);
  return command.substr(0, command.find(' '));
}

BrowserChoice::BrowserChoice(platform::Platform& platform, text::FileSystem& fs, const store::DataPaths& paths,
                             ui::CanvasControl& badgeCanvas, features::Pictures& pictures)
    : platform_(platform), fs_(fs), paths_(paths), bow_(badgeCanvas), pictures_(pictures) {}

void BrowserChoice::createBadge(canvas::AnimationBox& header, std::function<platform::Point()> capturePoint,
                                std::function<int()> mainLeft) {
  header_ = &header;
  capturePoint_ = std::move(capturePoint);
  mainLeft_ = std::move(mainLeft);
  badge_ = header.createObject(300, 118);
  header.setLayer(badge_, 8);
  header.setObjectHandlers(badge_, {.click = [this] { pickBrowserAtPoint(); },
                                    .rightUp = [this] { detectSystemBrowser(); },
                                    .enter =
                                        [this] {
                                          platform_.showBalloon({mainLeft_() + layout::kBalloonX, layout::kBalloonY},
                                                                text::readProfileString(fs_, paths_.settingsFile,
                                                                                        store::kBrowserSection,
                                                                                        store::kBrowserNameKey),
                                                                1000);
                                        }});
  auto& bow = bow_.box();
  badgeIcon_ = bow.createObject(2, -4);
  bow.setLayer(badgeIcon_, 1);
  badgeFrame_ = bow.createObject(0, 0);
  bow.setPicture(badgeFrame_, pictures_(features::Resource::BadgeFrame));
  bow.setLayer(badgeFrame_, 2);
}

void BrowserChoice::write(const std::string& path, const std::string& nameSource) {
  using namespace store;
  text::writeProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserPathKey, path);
  text::writeProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserNameKey, displayName(nameSource));
  platform_.showBalloon({mainLeft_() + layout::kBalloonX, layout::kBalloonY},
                        text::readProfileString(fs_, paths_.settingsFile, kBrowserSection, kBrowserNameKey), 0);
}

void BrowserChoice::init() {
  const std::string path =
      text::readProfileString(fs_, paths_.settingsFile, store::kBrowserSection, store::kBrowserPathKey);
  if (path.empty()) {
    detectSystemBrowser();
    return;
  }
  path_ = path;
  showBadge(platform_.executableIcon(path));
}

void BrowserChoice::detectSystemBrowser() {
  const std::string path = commandPath(platform_.httpOpenCommand());
  path_ = path;
  const canvas::Picture icon = platform_.executableIcon(path);
  write(path, path);
  showBadge(icon);
}

void BrowserChoice::pickBrowserAtPoint() {
  const platform::ForeignWindow w = platform_.windowAt(capturePoint_());
  const std::string path = platform_.processPathOf(w);
  const std::string exe = platform_.processFileNameOf(w);
  path_ = path;
  const canvas::Picture icon = platform_.executableIcon(path);
  write(path, "\\" + exe);
  showBadge(icon);
}

void BrowserChoice::showBadge(const canvas::Picture& icon32) {
  auto& bow = bow_.box();
  // The icon over white, 32 x 32; a browser without an icon (or none found)
  // shows the default site icon, centred.
  canvas::Picture white;
  white.width = white.height = 32;
  white.alpha = canvas::Alpha::Premultiplied;
  white.pixels.assign(32 * 32, 0xFFFFFFFFu);
  auto blit = [&white](const canvas::Picture& p, int x0, int y0, bool blend) {
    for (int y = 0; y < p.height && y0 + y < 32; ++y) {
      for (int x = 0; x < p.width && x0 + x < 32; ++x) {
        const std::uint32_t s = p.at(x, y);
        std::uint32_t& d = white.at(x0 + x, y0 + y);
        if (!blend) {
          d = s | 0xFF000000u;
          continue;
        }
        const unsigned k = 255 - canvas::alphaOf(s);
        d = canvas::argb(255, canvas::redOf(s) + canvas::div255(canvas::redOf(d) * k),
                         canvas::greenOf(s) + canvas::div255(canvas::greenOf(d) * k),
                         canvas::blueOf(s) + canvas::div255(canvas::blueOf(d) * k));
      }
    }
  };
  if (!icon32.empty()) {
    blit(icon32, 0, 0, false);
  } else if (auto fallback = pictures_(features::Resource::DefaultSiteIcon); fallback && !fallback->empty()) {
    blit(*fallback, 16 - fallback->width / 2, 16 - fallback->height / 2, true);
  }
  bow.setPicture(badgeIcon_, std::make_shared<const canvas::Picture>(std::move(white)));
  bow.paint();
  header_->setPicture(badge_, bow.snapshot(0, 0, 36, 22));
}

}  // namespace lh::app
