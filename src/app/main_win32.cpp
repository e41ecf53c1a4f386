// The Windows program: the platform, the files, the application, and the
// message loop that paints the windows whenever it has nothing else to do.
#include <windows.h>

#include "app/application.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  auto platform = lh::platform::win32::createPlatform();
  auto fs = lh::text::makeRealFileSystem();
  lh::app::Application app(*platform, *fs);
  platform->setIdle([&app] { app.paintAll(); });
  app.startUp();
  return platform->run([&app] { app.paintAll(); });
}
