// Where the program keeps its files: everything lives beside the executable.
#pragma once

#include <string>
#include <string_view>

namespace lh::store {

struct DataPaths {
  std::string runDir;        // the executable's directory, no trailing "\"
  std::string dataDir;       // runDir + "\data"
  std::string storeFile;     // dataDir + "\udb"
  std::string changeLog;     // dataDir + "\bein"
  std::string settingsFile;  // dataDir + "\config.ini"
  std::string iconIndex;     // dataDir + "\icon"
  std::string iconStrip;     // dataDir + "\ico"
  std::string startMarker;   // runDir + "\sat"

  static DataPaths fromRunDir(std::string runDir) {
    while (!runDir.empty() && (runDir.back() == '\\' || runDir.back() == '/')) runDir.pop_back();
    DataPaths p;
    p.runDir = runDir;
    p.dataDir = runDir + "\\data";
    p.storeFile = p.dataDir + "\\udb";
    p.changeLog = p.dataDir + "\\bein";
    p.settingsFile = p.dataDir + "\\config.ini";
    p.iconIndex = p.dataDir + "\\icon";
    p.iconStrip = p.dataDir + "\\ico";
    p.startMarker = runDir + "\\sat";
    return p;
  }
};

// The settings file's one section and its keys.
inline constexpr std::string_view kBrowserSection = "浏览器";
inline constexpr std::string_view kBrowserPathKey = "地址";
inline constexpr std::string_view kBrowserNameKey = "名称";
inline constexpr std::string_view kAddressControlKey = "控件";

}  // namespace lh::store
