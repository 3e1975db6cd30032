// A Windows launcher for the tests (mingw-w64, run under wine): std_handles pipe|none <program>
// <argument>... runs the program as a Windows parent would, its standard input a pipe this
// launcher fills with its own and then closes ("pipe"), or no standard input at all ("none").
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  std::wstring line;
  for (int i = 2; i < argc; ++i) line += L"\"" + std::wstring(argv[i]) + L"\" ";
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (argc < 3 || (std::wstring(argv[1]) == L"pipe" &&
                   !::CreatePipe(&read_end, &write_end, &inherited, 0))) {
    return 125;
  }
  if (write_end != nullptr) ::SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW start{};
  start.cb = sizeof start, start.dwFlags = STARTF_USESTDHANDLES, start.hStdInput = read_end;
  start.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                        &process)) {
    return 126;
  }
  if (read_end != nullptr) ::CloseHandle(read_end);
  char buffer[4096];
  DWORD got = 0, put = 0;
  while (write_end != nullptr && ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer,
                                            sizeof buffer, &got, nullptr) && got > 0) {
    ::WriteFile(write_end, buffer, got, &put, nullptr);
  }
  if (write_end != nullptr) ::CloseHandle(write_end);  // the end of the program's input
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 125;
  ::GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
