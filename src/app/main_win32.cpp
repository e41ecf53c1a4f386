// The Windows program: the platform, the files, the application, and the
// message loop that paints the windows whenever it has nothing else to do.
#include <windows.h>

#include "app/application.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  auto platform = lh::platform::win32::createPlatform();
  if (!platform) {
    // Without its window class or message window the program can show
    // nothing: say so rather than end unseen.
    MessageBoxW(nullptr, L"Linkhoard \u65e0\u6cd5\u542f\u52a8\uff1a\u7cfb\u7edf\u672a\u80fd\u521b\u5efa\u5b83\u7684\u7a97\u53e3\u3002",
                L"Linkhoard", MB_OK | MB_ICONERROR);
    return 1;
  }
  auto fs = lh::text::makeRealFileSystem();
  lh::app::Application app(*platform, *fs);
  platform->setIdle([&app] { app.paintAll(); });
  app.startUp();
  return platform->run([&app] { app.paintAll(); });
}
