// Time from process start to the window docked at the left edge, the
// processor time the program used until then (user + kernel: unlike the
// elapsed time, hardly changed by other work on the machine), and the
// private memory after start-up, of the real Linkhoard.exe (on Windows, or
// under Wine). Median of several starts.
//
//   startup_bench_win.exe PATH\Linkhoard.exe RUN_DIR [starts]
//
// RUN_DIR receives a copy of the program; put the data directory to load
// (data\udb) there first, or leave it empty for a first run.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench_win PROGRAM RUN_DIR [starts]\n");
    return 2;
  }
  const std::wstring program = argv[1], run = argv[2];
  const int starts = argc > 3 ? _wtoi(argv[3]) : 5;
  const std::wstring exe = run + L"\\Linkhoard.exe";
  CopyFileW(program.c_str(), exe.c_str(), FALSE);
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  std::vector<double> times, cpu;
  std::vector<double> privateMb, workingMb;
  for (int i = 0; i < starts; ++i) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, run.c_str(), &si, &pi)) return 1;
    HWND w = nullptr;
    for (int waited = 0; waited < 120000; waited += 2) {
      w = FindWindowW(L"LinkhoardWindow", L"Linkhoard");
      RECT r{};
      if (w && IsWindowVisible(w) && GetWindowRect(w, &r) && r.left == 6) break;
      Sleep(2);
    }
    QueryPerformanceCounter(&t1);
    times.push_back(1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart);
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
      const auto ticks = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
      cpu.push_back((ticks(kernel) + ticks(user)) / 10000.0);
    }
    Sleep(1000);
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    // PrivateUsage where the system fills it (Wine leaves it 0), else the
    // page-file usage, which counts the same private commit.
    privateMb.push_back((m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage) / 1048576.0);
    workingMb.push_back(m.WorkingSetSize / 1048576.0);
    if (w) PostMessageW(w, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("starts %d: process start to docked at x = 6: median %.0f ms (min %.0f, max %.0f)\n", starts,
              median(times), *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
  if (!cpu.empty()) std::printf("processor time until docked: median %.0f ms (min %.0f)\n", median(cpu), *std::min_element(cpu.begin(), cpu.end()));
  std::printf("after start-up: private memory %.1f MB, working set %.1f MB\n", median(privateMb), median(workingMb));
  return 0;
}
