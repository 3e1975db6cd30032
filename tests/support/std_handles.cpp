// A Windows launcher for the tests, built with mingw-w64 and run under wine: runs a program as a
// Windows parent would, its standard input a pipe that this launcher fills with its own standard
// input and then closes ("pipe"), or no standard input handle at all ("none").
//   std_handles pipe|none <program> <argument>...
// Its exit status is the program's.

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 125;
  std::wstring command_line;
  for (int i = 2; i < argc; ++i) command_line += L"\"" + std::wstring(argv[i]) + L"\" ";
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (std::wstring(argv[1]) == L"pipe") {
    if (!::CreatePipe(&read_end, &write_end, &inherited, 0)) return 125;
    ::SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
  }
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = read_end;
  start.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &start, &process)) {
    return 126;
  }
  if (read_end != nullptr) ::CloseHandle(read_end);
  char buffer[4096];
  DWORD got = 0;
  DWORD put = 0;
  while (write_end != nullptr &&
         ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
         got > 0) {
    ::WriteFile(write_end, buffer, got, &put, nullptr);
  }
  if (write_end != nullptr) ::CloseHandle(write_end);  // the end of the program's input
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 125;
  ::GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
