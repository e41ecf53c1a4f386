// The operating system's other services the program uses: starting
// programs, the registry, its own process, one TCP connection.
#pragma once

#include <string>

namespace lh::platform::win32 {

// Starts a program with its command line, without waiting for it.
bool launchProcess(const std::string& commandLine);
// The default value of HKEY_CLASSES_ROOT\http\shell\open\command.
std::string httpOpenCommandValue();
// The folder of this executable (no trailing "\").
std::string executableFolder();
void trimProcessWorkingSet();

// Winsock, started once for the process; tcpConnect fails when it could
// not start.
class Network {
 public:
  Network();
  ~Network();
  Network(const Network&) = delete;
  Network& operator=(const Network&) = delete;
  // Connects to host:port and closes again, within timeoutMs.
  bool tcpConnect(const std::string& host, int port, int timeoutMs);

 private:
  bool started_ = false;
};

}  // namespace lh::platform::win32
