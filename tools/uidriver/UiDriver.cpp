// UiDriver: starts a Windows GUI program with an exact command line, answers its boxes, its dialog
// and the help system's reaction, and reports what it saw as key="value" lines for the Wine tests.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;
constexpr UINT kKilledExitCode = 124;
constexpr DWORD kPollMs = 10;
constexpr int kMessageBoxTextId = 0xFFFF;

// Thrown when an action cannot be completed; the message becomes the report's error line.
class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      h_ = std::exchange(other.h_, nullptr);
    }
    return *this;
  }
  ~UniqueHandle() { Reset(); }
  HANDLE Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset() {
    if (h_) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& other) noexcept
      : hwnd_(other.hwnd_), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

class MemoryDc {
 public:
  explicit MemoryDc(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  MemoryDc(MemoryDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  MemoryDc& operator=(MemoryDc&&) = delete;
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// A top-down 32-bit DIB selected into its own memory DC, so pixels can be read directly.
class PixelBuffer {
 public:
  PixelBuffer(HDC compatible, int width, int height)
      : dc_(compatible), width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const DWORD*>(bits);
    if (bitmap_ && dc_.Get()) previous_ = SelectObject(dc_.Get(), bitmap_);
  }
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  PixelBuffer(PixelBuffer&& other) noexcept
      : dc_(std::move(other.dc_)),
        width_(other.width_),
        height_(other.height_),
        bitmap_(std::exchange(other.bitmap_, nullptr)),
        previous_(std::exchange(other.previous_, nullptr)),
        bits_(std::exchange(other.bits_, nullptr)) {}
  PixelBuffer& operator=(PixelBuffer&&) = delete;
  ~PixelBuffer() {
    if (previous_) SelectObject(dc_.Get(), previous_);
    if (bitmap_) DeleteObject(bitmap_);
  }
  bool Valid() const { return bits_ != nullptr && previous_ != nullptr; }
  HDC Dc() const { return dc_.Get(); }
  DWORD Pixel(int x, int y) const { return bits_[y * width_ + x] & 0x00FFFFFF; }

 private:
  MemoryDc dc_;
  int width_;
  int height_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  const DWORD* bits_ = nullptr;
};

class GdiBrush {
 public:
  explicit GdiBrush(COLORREF color) : brush_(CreateSolidBrush(color)) {}
  GdiBrush(const GdiBrush&) = delete;
  GdiBrush& operator=(const GdiBrush&) = delete;
  GdiBrush(GdiBrush&& other) noexcept : brush_(std::exchange(other.brush_, nullptr)) {}
  GdiBrush& operator=(GdiBrush&&) = delete;
  ~GdiBrush() {
    if (brush_) DeleteObject(brush_);
  }
  HBRUSH Get() const { return brush_; }

 private:
  HBRUSH brush_;
};

// --- Report ---

std::string Escape(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);  // UTF-8 bytes stay as they are.
        }
    }
  }
  return out;
}

std::string Hex32(DWORD value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lx", static_cast<unsigned long>(value));
  return buf;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

class Record {
 public:
  explicit Record(const char* kind) : line_(kind) {}
  Record& Str(const char* key, const std::string& value) {
    line_ += std::string(" ") + key + "=\"" + Escape(value) + "\"";
    return *this;
  }
  Record& Raw(const char* key, const std::string& value) {
    line_ += std::string(" ") + key + "=" + value;
    return *this;
  }
  Record& Num(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  Record& Flag(const char* key, bool value) { return Raw(key, value ? "1" : "0"); }
  const std::string& Line() const { return line_; }

 private:
  std::string line_;
};

class Report {
 public:
  bool Open(const std::string& path) {
    file_ = UniqueHandle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
  }
  // Flushed per line so a killed or hung run still leaves everything seen so far.
  void Write(const Record& record) {
    if (!file_) return;
    const std::string text = record.Line() + "\n";
    DWORD written = 0;
    WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(file_.Get());
  }

 private:
  UniqueHandle file_;
};

// --- Windows helpers ---

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

// WM_GETTEXT is marshalled across processes; GetWindowText would skip controls of another process.
std::string WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length)) {
    return {};
  }
  std::wstring buf(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(&buf[0]),
                           SMTO_ABORTIFHUNG, 1000, &copied)) {
    return {};
  }
  buf.resize(std::min<size_t>(static_cast<size_t>(copied), buf.size()));
  return Utf8(buf);
}

// A top-level caption without a message: the program may be busy, and its caption is stored.
std::string Caption(HWND hwnd) {
  wchar_t buf[512] = {};
  const int n = GetWindowTextW(hwnd, buf, 512);
  return Utf8(std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

DWORD ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

bool IsShown(HWND hwnd) { return hwnd && IsWindow(hwnd) && IsWindowVisible(hwnd); }

// Named callbacks: a lambda does not convert to the stdcall pointer type with every compiler.
BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM param) {
  if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectAll(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectAll, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsStatic(HWND hwnd) { return _wcsicmp(ClassName(hwnd).c_str(), L"Static") == 0; }
bool IsButton(HWND hwnd) { return _wcsicmp(ClassName(hwnd).c_str(), L"Button") == 0; }
bool IsIconStatic(HWND hwnd) {
  return IsStatic(hwnd) && (GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// The message text: the static with the message box text id, else the first static with text.
std::string StaticText(HWND box) {
  std::string fallback;
  for (HWND child : Children(box)) {
    if (GetParent(child) != box || !IsStatic(child) || IsIconStatic(child)) continue;
    if (GetDlgCtrlID(child) == kMessageBoxTextId) return WindowText(child);
    if (fallback.empty()) fallback = WindowText(child);
  }
  return fallback;
}

std::vector<HWND> Buttons(HWND box) {
  std::vector<HWND> buttons;
  for (HWND child : Children(box)) {
    if (GetParent(child) == box && IsButton(child) && IsWindowVisible(child)) {
      buttons.push_back(child);
    }
  }
  std::sort(buttons.begin(), buttons.end(),
            [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  return buttons;
}

std::string JoinedButtonTexts(HWND box) {
  std::string joined;
  for (HWND button : Buttons(box)) {
    if (!joined.empty()) joined += "|";
    joined += WindowText(button);
  }
  return joined;
}

std::string ButtonIds(HWND box) {
  std::string ids;
  for (HWND button : Buttons(box)) {
    if (!ids.empty()) ids += ",";
    ids += std::to_string(GetDlgCtrlID(button));
  }
  return ids.empty() ? "none" : ids;
}

// Ends a box the way its least committal button does: OK, Cancel or No, else its first button.
bool PressDismissButton(HWND box) {
  for (int id : {IDOK, IDCANCEL, IDNO}) {
    if (HWND button = GetDlgItem(box, id); button && IsWindowVisible(button)) {
      return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
    }
  }
  const std::vector<HWND> buttons = Buttons(box);
  if (!buttons.empty()) return PostMessageW(buttons.front(), BM_CLICK, 0, 0) != FALSE;
  return PostMessageW(box, WM_CLOSE, 0, 0) != FALSE;
}

// Identifies a message box icon by comparing the icon control's pixels on screen with the
// system icons drawn the same way: icon handles of another process cannot be compared.
std::string DetectIcon(HWND box, ULONGLONG deadline) {
  HWND iconControl = nullptr;
  for (HWND child : Children(box)) {
    if (GetParent(child) == box && IsIconStatic(child)) iconControl = child;
  }
  if (!iconControl || !IsWindowVisible(iconControl)) return "none";
  // A box without an icon may keep an empty icon control, even over its text.
  DWORD_PTR icon = 0;
  if (SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon) && !icon) {
    return "none";
  }
  RECT client{};
  GetClientRect(iconControl, &client);
  POINT origin{0, 0};
  ClientToScreen(iconControl, &origin);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return "none";
  if (width > 256 || height > 256) return "unknown";

  struct Candidate {
    const char* name;
    LPCTSTR id;
  };
  const Candidate candidates[] = {{"information", IDI_INFORMATION},
                                  {"exclamation", IDI_EXCLAMATION},
                                  {"error", IDI_ERROR},
                                  {"question", IDI_QUESTION}};
  WindowDc screen(nullptr);
  for (;;) {
    PixelBuffer shot(screen.Get(), width, height);
    if (!shot.Valid()) return "unknown";
    BitBlt(shot.Dc(), 0, 0, width, height, screen.Get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const DWORD background = shot.Pixel(0, 0);
    const COLORREF fill =
        RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    const char* best = nullptr;
    double bestScore = 1e9;
    for (const Candidate& candidate : candidates) {
      PixelBuffer drawn(screen.Get(), width, height);
      if (!drawn.Valid()) return "unknown";
      GdiBrush brush(fill);
      RECT all{0, 0, width, height};
      FillRect(drawn.Dc(), &all, brush.Get());
      DrawIconEx(drawn.Dc(), 0, 0, LoadIcon(nullptr, candidate.id), width, height, 0, nullptr,
                 DI_NORMAL);
      GdiFlush();
      double total = 0;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const DWORD a = shot.Pixel(x, y);
          const DWORD b = drawn.Pixel(x, y);
          for (int shift = 0; shift < 24; shift += 8) {
            total += std::abs(static_cast<int>((a >> shift) & 0xFF) -
                              static_cast<int>((b >> shift) & 0xFF));
          }
        }
      }
      const double score = total / (3.0 * width * height);
      if (score < bestScore) {
        bestScore = score;
        best = candidate.name;
      }
    }
    // A few levels per channel absorb anti-aliasing; a wrong icon differs by tens.
    if (best && bestScore < 4.0) return best;
    if (GetTickCount64() >= deadline) return "unknown";
    Sleep(20);  // The box may not be painted yet.
  }
}

// Another process's command line, read from its parameters block; empty when unavailable.
std::string ProcessCommandLine(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  ULONG length = 0;
  const NTSTATUS status =
      NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length);
  if (status != 0 || !basic.PebBaseAddress) return {};
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS params{};
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, &read) ||
      !ReadProcessMemory(process, peb.ProcessParameters, &params, sizeof params, &read)) {
    return {};
  }
  std::wstring text(params.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (text.empty() || !ReadProcessMemory(process, params.CommandLine.Buffer, &text[0],
                                         text.size() * sizeof(wchar_t), &read)) {
    return {};
  }
  return Utf8(text);
}

std::string ProcessImage(HANDLE process) {
  wchar_t buf[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process, 0, buf, &size)) return {};
  return Utf8(std::wstring(buf, size));
}

void SendKeys(const std::vector<std::pair<WORD, bool>>& keys) {
  std::vector<INPUT> inputs;
  for (const auto& [vk, up] : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Under Wine a path like /tmp/x would be taken relative to the current drive; Z: maps to /.
std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

// --- Options ---

enum class ActionKind { MessageBox, Dialog, F1, HelpBox, WaitExit, Kill, Sleep, Respond };

struct Action {
  ActionKind kind;
  std::string argument;
};

struct Options {
  std::string report;
  DWORD timeoutMs = 10000;
  bool hasExe = false;
  std::string exe;
  bool hasCommandLine = false;
  std::string commandLine;
  std::string directory;
  std::string dialogCaption = "NetMeeting";
  std::string holdForWriting;
  std::vector<Action> actions;
};

const char* const kUsage =
    "usage: UiDriver.exe --report <file> [--timeout-ms N] [--exe <path>]\n"
    "         (--cmdline <command line> | --cmdline-file <file>) [--cwd <dir>]\n"
    "         [--dialog-caption <text>] [--hold <file>] [action ...]\n"
    "actions: msgbox | dialog:yes|no|enter|escape|close|altf4|none | f1 | helpbox |\n"
    "         respond:yes|no | sleep:<ms> | kill | wait-exit (implied at the end)\n";

bool ReadWholeFile(const std::string& path, std::string& out) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  out.clear();
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  return true;
}

bool ParseAction(const std::string& text, Action& action) {
  static const char* const kAnswers[] = {"yes", "no", "enter", "escape", "close", "altf4", "none"};
  if (text == "msgbox") {
    action = {ActionKind::MessageBox, ""};
  } else if (text == "f1") {
    action = {ActionKind::F1, ""};
  } else if (text == "helpbox") {
    action = {ActionKind::HelpBox, ""};
  } else if (text == "wait-exit") {
    action = {ActionKind::WaitExit, ""};
  } else if (text == "kill") {
    action = {ActionKind::Kill, ""};
  } else if (text.rfind("dialog:", 0) == 0) {
    const std::string answer = text.substr(7);
    if (std::find(std::begin(kAnswers), std::end(kAnswers), answer) == std::end(kAnswers)) {
      return false;
    }
    action = {ActionKind::Dialog, answer};
  } else if (text.rfind("respond:", 0) == 0) {
    const std::string answer = text.substr(8);
    if (answer != "yes" && answer != "no") return false;
    action = {ActionKind::Respond, answer};
  } else if (text.rfind("sleep:", 0) == 0) {
    const std::string ms = text.substr(6);
    if (ms.empty() || ms.find_first_not_of("0123456789") != std::string::npos) return false;
    action = {ActionKind::Sleep, ms};
  } else {
    return false;
  }
  return true;
}

// Returns an empty string on success, else what was wrong.
std::string ParseOptions(int argc, char** argv, Options& options) {
  bool hasReport = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--report" || arg == "--timeout-ms" || arg == "--exe" || arg == "--cmdline" ||
        arg == "--cmdline-file" || arg == "--cwd" || arg == "--dialog-caption" || arg == "--hold") {
      if (!hasValue) return "missing value for " + arg;
      const std::string value = argv[++i];
      if (arg == "--report") {
        options.report = ToWindowsPath(value);
        hasReport = true;
      } else if (arg == "--timeout-ms") {
        if (value.empty() || value.size() > 9 ||
            value.find_first_not_of("0123456789") != std::string::npos) {
          return "bad --timeout-ms: " + value;
        }
        options.timeoutMs = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
      } else if (arg == "--exe") {
        options.exe = ToWindowsPath(value);
        options.hasExe = true;
      } else if (arg == "--cmdline" || arg == "--cmdline-file") {
        if (options.hasCommandLine) return "the command line is given twice";
        options.hasCommandLine = true;
        if (arg == "--cmdline") {
          options.commandLine = value;
        } else if (!ReadWholeFile(ToWindowsPath(value), options.commandLine)) {
          return "cannot read " + value;
        }
      } else if (arg == "--cwd") {
        options.directory = ToWindowsPath(value);
      } else if (arg == "--hold") {
        options.holdForWriting = ToWindowsPath(value);
      } else {
        options.dialogCaption = value;
      }
    } else {
      Action action{};
      if (!ParseAction(arg, action)) return "unknown action or option: " + arg;
      options.actions.push_back(action);
    }
  }
  if (!hasReport) return "--report is required";
  if (!options.hasCommandLine) return "--cmdline or --cmdline-file is required";
  if (options.actions.empty() || (options.actions.back().kind != ActionKind::WaitExit &&
                                  options.actions.back().kind != ActionKind::Kill)) {
    options.actions.push_back({ActionKind::WaitExit, ""});
  }
  return {};
}

// --- The driver ---

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(UniqueHandle process, UniqueHandle thread, DWORD pid)
      : process_(std::move(process)), thread_(std::move(thread)), pid_(pid) {}
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&&) noexcept = default;
  ChildProcess& operator=(ChildProcess&&) noexcept = default;
  // Never leave the program behind: a failed run must not hold the prefix or the display.
  ~ChildProcess() {
    if (Running()) TerminateProcess(process_.Get(), kKilledExitCode);
  }
  bool Running() const {
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
  }
  HANDLE Handle() const { return process_.Get(); }
  DWORD Pid() const { return pid_; }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
  DWORD pid_ = 0;
};

enum class WindowKind { Dialog, MessageBox, Other };

class Driver {
 public:
  Driver(const Options& options, Report& report) : options_(options), report_(report) {}

  void Run() {
    Start();
    for (const Action& action : options_.actions) {
      switch (action.kind) {
        case ActionKind::MessageBox:
          DoMessageBox();
          break;
        case ActionKind::Dialog:
          DoDialog(action.argument);
          break;
        case ActionKind::F1:
          DoF1();
          break;
        case ActionKind::HelpBox:
          DoHelpBox();
          break;
        case ActionKind::WaitExit:
          DoWaitExit();
          break;
        case ActionKind::Kill:
          DoKill();
          break;
        case ActionKind::Sleep:
          Sleep(static_cast<DWORD>(std::strtoul(action.argument.c_str(), nullptr, 10)));
          break;
        case ActionKind::Respond:
          DoRespond(action.argument);
          break;
      }
    }
  }

  // After a failure: show what was on screen, then end the program so nothing hangs.
  void Abandon() {
    for (HWND hwnd : VisibleTopLevelWindows()) {
      if (ProcessOf(hwnd) == child_.Pid() || (helpWatch_ && !preexisting_.count(hwnd))) {
        report_.Write(Describe(Record("window"), hwnd));
      }
    }
    if (child_.Running()) {
      TerminateProcess(child_.Handle(), kKilledExitCode);
      WaitForSingleObject(child_.Handle(), 5000);
      report_.Write(Record("killed").Num("code", kKilledExitCode));
    }
  }

 private:
  void Start() {
    std::vector<char> commandLine(options_.commandLine.begin(), options_.commandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    report_.Write(Record("start")
                      .Str("exe", options_.hasExe ? options_.exe : std::string())
                      .Str("cmdline", options_.commandLine));
    if (!CreateProcessA(options_.hasExe ? options_.exe.c_str() : nullptr, commandLine.data(),
                        nullptr, nullptr, FALSE, 0, nullptr,
                        options_.directory.empty() ? nullptr : options_.directory.c_str(), &startup,
                        &info)) {
      throw DriverError("CreateProcess failed, GetLastError=" + std::to_string(GetLastError()));
    }
    child_ =
        ChildProcess(UniqueHandle(info.hProcess), UniqueHandle(info.hThread), info.dwProcessId);
  }

  WindowKind Classify(HWND hwnd) const {
    if (ClassName(hwnd) != L"#32770") return WindowKind::Other;
    return Caption(hwnd) == options_.dialogCaption ? WindowKind::Dialog : WindowKind::MessageBox;
  }

  static const char* KindName(WindowKind kind) {
    switch (kind) {
      case WindowKind::Dialog:
        return "dialog";
      case WindowKind::MessageBox:
        return "msgbox";
      case WindowKind::Other:
        break;
    }
    return "other";
  }

  Record Describe(Record record, HWND hwnd) const {
    record.Str("class", Utf8(ClassName(hwnd)))
        .Str("caption", Caption(hwnd))
        .Str("text", StaticText(hwnd))
        .Str("buttons", JoinedButtonTexts(hwnd))
        .Flag("target", ProcessOf(hwnd) == child_.Pid());
    return record;
  }

  ULONGLONG Deadline() const { return GetTickCount64() + options_.timeoutMs; }

  [[noreturn]] void Unexpected(HWND hwnd, const char* waitingFor) {
    handled_.insert(hwnd);
    report_.Write(Describe(Record("unexpected"), hwnd).Raw("kind", KindName(Classify(hwnd))));
    throw DriverError(std::string("unexpected window while waiting for ") + waitingFor);
  }

  [[noreturn]] void Exited(const char* waitingFor) {
    report_.Write(Record("exit").Num("code", child_.ExitCode()));
    throw DriverError(std::string("program exited while waiting for ") + waitingFor);
  }

  // Polls the program's visible top-level windows until one of the wanted kind appears; any
  // other new window of the program fails the run at once.
  HWND WaitForTargetWindow(WindowKind wanted, const char* what) {
    const ULONGLONG deadline = Deadline();
    for (;;) {
      for (HWND hwnd : VisibleTopLevelWindows()) {
        if (ProcessOf(hwnd) != child_.Pid()) continue;
        const WindowKind kind = Classify(hwnd);
        const bool known = handled_.count(hwnd) != 0;
        if (kind == wanted && (!known || kind == WindowKind::Dialog)) return hwnd;
        if (!known) Unexpected(hwnd, what);
      }
      if (!child_.Running()) Exited(what);
      if (GetTickCount64() >= deadline) {
        throw DriverError(std::string("timeout waiting for ") + what);
      }
      Sleep(kPollMs);
    }
  }

  void WaitUntilGone(HWND hwnd, const char* what) {
    const ULONGLONG deadline = Deadline();
    while (IsShown(hwnd)) {
      if (GetTickCount64() >= deadline) {
        throw DriverError(std::string("timeout waiting for the ") + what + " to close");
      }
      Sleep(kPollMs);
    }
  }

  std::string OwnerText(HWND hwnd) const {
    HWND owner = GetWindow(hwnd, GW_OWNER);
    return owner ? "1" : "0";
  }

  bool OwnedByDialog(HWND hwnd) const {
    HWND owner = GetWindow(hwnd, GW_OWNER);
    return owner && owner == dialog_;
  }

  void DoMessageBox() {
    HWND box = WaitForTargetWindow(WindowKind::MessageBox, "msgbox");
    handled_.insert(box);
    Record record("msgbox");
    record.Str("caption", Caption(box))
        .Str("text", StaticText(box))
        .Raw("owner", OwnerText(box))
        .Flag("owner_is_dialog", OwnedByDialog(box))
        .Flag("dialog_open", IsShown(dialog_))
        .Str("icon", DetectIcon(box, GetTickCount64() + std::min<DWORD>(options_.timeoutMs, 2000)))
        .Str("buttons", JoinedButtonTexts(box))
        .Raw("button_ids", ButtonIds(box))
        .Raw("style", Hex32(static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE))))
        .Raw("exstyle", Hex32(static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE))));
    report_.Write(record);
    BringToFront(box);
    if (!PressDismissButton(box)) throw DriverError("cannot press the msgbox button");
    WaitUntilGone(box, "msgbox");
  }

  HWND FindDialog(const char* what) {
    dialog_ = WaitForTargetWindow(WindowKind::Dialog, what);
    handled_.insert(dialog_);
    return dialog_;
  }

  // The focus is set during the dialog's creation; wait briefly so it is not read too early.
  HWND FocusOf(HWND dlg, GUITHREADINFO& info) const {
    const DWORD thread = GetWindowThreadProcessId(dlg, nullptr);
    const ULONGLONG deadline = GetTickCount64() + std::min<DWORD>(options_.timeoutMs, 1000);
    for (;;) {
      info = GUITHREADINFO{};
      info.cbSize = sizeof info;
      if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) return info.hwndFocus;
      if (GetTickCount64() >= deadline) return nullptr;
      Sleep(kPollMs);
    }
  }

  // Wine refuses WM_GETICON from another process (the send itself fails): "unknown" then.
  static std::string IconState(HWND dlg, WPARAM which) {
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutW(dlg, WM_GETICON, which, 0, SMTO_ABORTIFHUNG, 1000, &icon)) {
      return "unknown";
    }
    return icon ? "1" : "0";
  }

  void RecordDialog(HWND dlg, const std::string& answer) {
    DWORD_PTR defId = 0;
    SendMessageTimeoutW(dlg, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &defId);
    const int defaultId = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : 0;
    int defStyleId = 0;
    for (HWND button : Buttons(dlg)) {
      if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        defStyleId = GetDlgCtrlID(button);
        break;
      }
    }
    GUITHREADINFO gui{};
    HWND focus = FocusOf(dlg, gui);
    const int focusId = !focus ? 0 : (IsChild(dlg, focus) ? GetDlgCtrlID(focus) : -1);
    const std::string bigIcon = IconState(dlg, ICON_BIG);
    const std::string smallIcon = IconState(dlg, ICON_SMALL);
    RECT rect{};
    GetWindowRect(dlg, &rect);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);

    Record record("dialog");
    record.Str("caption", Caption(dlg)).Str("text", StaticText(dlg));
    for (int id : {IDOK, IDCANCEL}) {
      const char* key = id == IDOK ? "yes" : "no";
      const char* styleKey = id == IDOK ? "yes_style" : "no_style";
      if (HWND control = GetDlgItem(dlg, id)) {
        record.Str(key, WindowText(control))
            .Raw(styleKey, Hex32(static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE))));
      } else {
        record.Raw(key, "none");
      }
    }
    record.Str("buttons", JoinedButtonTexts(dlg))
        .Raw("button_ids", ButtonIds(dlg))
        .Raw("style", Hex32(static_cast<DWORD>(GetWindowLongW(dlg, GWL_STYLE))))
        .Raw("exstyle", Hex32(static_cast<DWORD>(GetWindowLongW(dlg, GWL_EXSTYLE))))
        .Raw("owner", OwnerText(dlg))
        .Num("default", defaultId)
        .Num("defstyle", defStyleId)
        .Num("focus", focusId)
        .Flag("active", gui.hwndActive == dlg)
        .Flag("foreground", GetForegroundWindow() == dlg)
        .Raw("bigicon", bigIcon)
        .Raw("smallicon", smallIcon)
        .Raw("rect", RectText(rect))
        .Raw("workarea", RectText(work))
        .Str("answer", answer);
    report_.Write(record);
  }

  // Keyboard input goes to the foreground window's focus, and a button ignores a click while
  // its window is inactive, so the window must be in front first.
  void BringToFront(HWND hwnd) {
    const ULONGLONG deadline = Deadline();
    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    for (int attempt = 0;; ++attempt) {
      if (!IsShown(hwnd)) throw DriverError("the window closed before it could be activated");
      if (GetForegroundWindow() == hwnd) return;
      if (attempt % 10 == 9) {
        // Windows may refuse a background caller; sharing the input state lifts that.
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetForegroundWindow(hwnd);
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
      } else {
        SetForegroundWindow(hwnd);
      }
      if (GetTickCount64() >= deadline) throw DriverError("cannot bring the window to the front");
      Sleep(kPollMs);
    }
  }

  void DoDialog(const std::string& answer) {
    HWND dlg = FindDialog("dialog");
    RecordDialog(dlg, answer);
    if (answer == "yes" || answer == "no") {
      HWND button = GetDlgItem(dlg, answer == "yes" ? IDOK : IDCANCEL);
      if (!button) throw DriverError("the dialog has no " + answer + " button");
      // A click on an inactive dialog may be ignored. Posted: a synchronous click would block
      // while the program shows its next box.
      BringToFront(dlg);
      PostMessageW(button, BM_CLICK, 0, 0);
    } else if (answer == "enter" || answer == "escape") {
      BringToFront(dlg);
      const WORD vk = answer == "enter" ? VK_RETURN : VK_ESCAPE;
      SendKeys({{vk, false}, {vk, true}});
    } else if (answer == "close") {
      PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (answer == "altf4") {
      BringToFront(dlg);
      SendKeys({{VK_MENU, false}, {VK_F4, false}, {VK_F4, true}, {VK_MENU, true}});
    }
  }

  // Answers whatever the program shows until it ends: message boxes with OK, the dialog with
  // `answer`. For unattended runs, where the windows to come are not known in advance.
  void DoRespond(const std::string& answer) {
    ULONGLONG deadline = Deadline();
    while (child_.Running()) {
      for (HWND hwnd : VisibleTopLevelWindows()) {
        if (ProcessOf(hwnd) != child_.Pid() || handled_.count(hwnd) != 0) continue;
        switch (Classify(hwnd)) {
          case WindowKind::MessageBox:
            DoMessageBox();
            break;
          case WindowKind::Dialog:
            DoDialog(answer);
            break;
          case WindowKind::Other:
            Unexpected(hwnd, "respond");
        }
        deadline = Deadline();
      }
      if (GetTickCount64() >= deadline) throw DriverError("timeout while responding");
      Sleep(kPollMs);
    }
  }

  void SnapshotWindows() {
    preexisting_.clear();
    for (HWND hwnd : VisibleTopLevelWindows()) preexisting_.insert(hwnd);
    helpWatch_ = true;
  }

  void DoF1() {
    HWND dlg = FindDialog("dialog for f1");
    SnapshotWindows();
    BringToFront(dlg);
    SendKeys({{VK_F1, false}, {VK_F1, true}});
    report_.Write(Record("f1").Flag("foreground", GetForegroundWindow() == dlg));
  }

  // The help system's reaction: a new window of another process (the help viewer's error box),
  // or a message box of the program itself when help could not start.
  void DoHelpBox() {
    if (!helpWatch_) SnapshotWindows();
    const ULONGLONG deadline = Deadline();
    HWND box = nullptr;
    while (!box) {
      for (HWND hwnd : VisibleTopLevelWindows()) {
        if (preexisting_.count(hwnd) || handled_.count(hwnd)) continue;
        if (ProcessOf(hwnd) == child_.Pid()) {
          if (Classify(hwnd) != WindowKind::MessageBox) Unexpected(hwnd, "helpbox");
        }
        box = hwnd;
        break;
      }
      if (box) break;
      if (!child_.Running()) Exited("helpbox");
      if (GetTickCount64() >= deadline) throw DriverError("timeout waiting for helpbox");
      Sleep(kPollMs);
    }
    handled_.insert(box);
    const DWORD pid = ProcessOf(box);
    const bool fromTarget = pid == child_.Pid();
    Record record("helpbox");
    record.Str("caption", Caption(box))
        .Str("text", StaticText(box))
        .Str("class", Utf8(ClassName(box)))
        .Str("buttons", JoinedButtonTexts(box))
        .Raw("process", fromTarget ? "target" : "other")
        .Raw("owner", OwnerText(box))
        .Flag("owner_is_dialog", OwnedByDialog(box));
    if (!fromTarget) {
      UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
      record.Str("image", process ? ProcessImage(process.Get()) : std::string())
          .Str("helper_cmdline", process ? ProcessCommandLine(process.Get()) : std::string());
    }
    BringToFront(box);
    if (ClassName(box) == L"#32770") {
      PressDismissButton(box);
    } else {
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
    WaitUntilGone(box, "helpbox");
    helpWatch_ = false;
    // The dialog must survive the help box; give a closing dialog time to show it.
    Sleep(100);
    record.Flag("dialog_still_open", IsShown(dialog_));
    report_.Write(record);
  }

  void DoWaitExit() {
    const ULONGLONG deadline = Deadline();
    while (child_.Running()) {
      for (HWND hwnd : VisibleTopLevelWindows()) {
        if (ProcessOf(hwnd) == child_.Pid() && !handled_.count(hwnd)) Unexpected(hwnd, "exit");
      }
      if (GetTickCount64() >= deadline) throw DriverError("timeout waiting for exit");
      WaitForSingleObject(child_.Handle(), kPollMs);
    }
    report_.Write(Record("exit").Num("code", child_.ExitCode()));
  }

  void DoKill() {
    if (child_.Running()) {
      TerminateProcess(child_.Handle(), kKilledExitCode);
      WaitForSingleObject(child_.Handle(), 5000);
      report_.Write(Record("killed").Num("code", kKilledExitCode));
    }
    report_.Write(Record("exit").Num("code", child_.ExitCode()));
  }

  const Options& options_;
  Report& report_;
  ChildProcess child_;
  HWND dialog_ = nullptr;
  std::set<HWND> handled_;
  std::set<HWND> preexisting_;
  bool helpWatch_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = ParseOptions(argc, argv, options);
  Report report;
  if (!options.report.empty() && !report.Open(options.report)) {
    std::fprintf(stderr, "UiDriver: cannot write %s\n", options.report.c_str());
    return kExitUsage;
  }
  if (!problem.empty()) {
    report.Write(Record("error").Str("message", "usage: " + problem));
    std::fprintf(stderr, "UiDriver: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
  }
  // A writer in this prefix for the whole run, as an editor holding the file would be.
  UniqueHandle held;
  if (!options.holdForWriting.empty()) {
    held = UniqueHandle(CreateFileA(options.holdForWriting.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
      report.Write(Record("error").Str("message", "cannot hold " + options.holdForWriting));
      return kExitFailed;
    }
  }
  Driver driver(options, report);
  try {
    driver.Run();
  } catch (const DriverError& error) {
    report.Write(Record("error").Str("message", error.what()));
    driver.Abandon();
    return kExitFailed;
  }
  report.Write(Record("done"));
  return kExitOk;
}
