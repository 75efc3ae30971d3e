// SimControl.dll: a simulated NetMeeting control component, an in-process COM server whose
// results come from a script file and whose every call on the interface is appended to a log.

// Also brings in the COM and automation declarations (ole2.h).
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/NetMeetingControl.h"

// Exported through SimControl.def; not every toolchain's headers declare the registration pair.
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

namespace {

constexpr char kClsidKey[] = "Software\\Classes\\CLSID\\{7B956261-C955-11D0-9225-006097498625}";
constexpr char kFriendlyName[] = "Sarnivox simulated NetMeeting control";
constexpr char kScriptVariable[] = "SARNIVOX_SIM_SCRIPT";
constexpr char kLogVariable[] = "SARNIVOX_SIM_LOG";

constexpr contract::Guid kIidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Live objects, factory references and server locks: the DLL may unload only at zero.
LONG g_moduleRefs = 0;

bool SameGuid(const contract::Guid& a, const contract::Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

contract::Guid FromSystemGuid(const GUID& g) {
  contract::Guid result = {static_cast<uint32_t>(g.Data1), g.Data2, g.Data3, {}};
  std::memcpy(result.data4, g.Data4, sizeof result.data4);
  return result;
}

bool SameGuid(const GUID& a, const contract::Guid& b) { return SameGuid(FromSystemGuid(a), b); }

std::string Hex(uint32_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return text;
}

std::string HexResult(contract::Result result) { return Hex(static_cast<uint32_t>(result)); }

std::string GuidText(const contract::Guid& g) {
  static const char kDigits[] = "0123456789ABCDEF";
  auto fixed = [](uint32_t value, int digits) {
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
      text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return text;
  };
  std::string text =
      "{" + fixed(g.data1, 8) + "-" + fixed(g.data2, 4) + "-" + fixed(g.data3, 4) + "-";
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += "-";
    text += fixed(g.data4[i], 2);
  }
  return text + "}";
}

// Length from the BSTR's prefix, so embedded NULs are shown rather than ending the string.
std::string BstrText(contract::WideString text) {
  if (text == nullptr) return "null";
  static const char kDigits[] = "0123456789abcdef";
  const UINT length = SysStringLen(text);
  std::string out = std::to_string(length) + ":\"";
  for (UINT i = 0; i < length; ++i) {
    const auto unit = static_cast<uint16_t>(text[i]);
    if (unit == '"' || unit == '\\') {
      out += '\\';
      out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit <= 0x7E) {
      out += static_cast<char>(unit);
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(unit >> shift) & 0xF];
    }
  }
  return out + "\"";
}

// A kernel handle; both NULL and INVALID_HANDLE_VALUE mean "none".
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : m_handle(handle) {}
  ~FileHandle() {
    if (IsValid()) CloseHandle(m_handle);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    std::swap(m_handle, other.m_handle);
    return *this;
  }
  bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  RegistryKey(RegistryKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    std::swap(m_key, other.m_key);
    return *this;
  }
  LSTATUS Create(HKEY parent, const char* subKey) {
    return RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           &m_key, nullptr);
  }
  LSTATUS SetString(const char* name, const std::string& value) const {
    return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
  }
  HKEY Get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

// Empty when the variable is unset or empty: both mean "not configured".
std::string EnvironmentValue(const char* name) {
  std::string value(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

// Opened per line and closed at once: the process may end at any moment, and other runs may
// append to the same file.
class CallLog {
 public:
  explicit CallLog(std::string path) : m_path(std::move(path)) {}

  void Write(std::string line) const {
    if (m_path.empty()) return;
    FileHandle file(CreateFileA(m_path.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    line += '\n';
    DWORD written = 0;
    WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

 private:
  std::string m_path;
};

enum class Operation {
  kCreate,
  kIsInstalled,
  kCheckConfiguration,
  kUpdateConfiguration,
  kStart,
  kStop
};

struct OperationName {
  const char* name;
  Operation operation;
  bool hasFlag;
};

constexpr OperationName kOperations[] = {
    {"Create", Operation::kCreate, false},
    {"IsInstalled", Operation::kIsInstalled, true},
    {"CheckConfiguration", Operation::kCheckConfiguration, true},
    {"UpdateConfiguration", Operation::kUpdateConfiguration, false},
    {"Start", Operation::kStart, true},
    {"Stop", Operation::kStop, false},
};
constexpr size_t kOperationCount = sizeof kOperations / sizeof kOperations[0];

bool HasFlag(Operation operation) {
  for (const OperationName& entry : kOperations)
    if (entry.operation == operation) return entry.hasFlag;
  return false;
}

struct Behaviour {
  uint32_t result = 0;
  bool flagGiven = false;
  uint32_t flag = 1;
};

// Whole token as strtoul base 0 reads it, within 32 bits.
bool ParseNumber(const std::string& token, uint32_t* value) {
  errno = 0;
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(token.c_str(), &end, 0);
  if (end == token.c_str() || *end != '\0' || errno == ERANGE || parsed > 0xFFFFFFFFul)
    return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

class Script {
 public:
  static Script FromEnvironment() {
    Script script;
    const std::string path = EnvironmentValue(kScriptVariable);
    if (!path.empty()) script.Parse(ReadWholeFile(path));
    return script;
  }

  const Behaviour& For(Operation operation) const {
    return m_behaviours[static_cast<size_t>(operation)];
  }
  const std::vector<std::string>& Errors() const { return m_errors; }

 private:
  // An unreadable file reads as empty, which leaves every operation succeeding.
  static std::string ReadWholeFile(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    if (!file.IsValid()) return text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
      text.append(buffer, got);
    return text;
  }

  void Parse(const std::string& text) {
    // Editors on Windows may save a UTF-8 byte order mark; it is not part of the first line.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int lineNumber = 1; start < text.size(); ++lineNumber) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!ParseLine(line))
        m_errors.push_back("script-error " + std::to_string(lineNumber) + " " + line);
      start = end + 1;
    }
  }

  bool ParseLine(const std::string& line) {
    std::vector<std::string> tokens;
    const std::string content = line.substr(0, line.find('#'));
    size_t position = 0;
    for (;;) {
      position = content.find_first_not_of(" \t", position);
      if (position == std::string::npos) break;
      const size_t end = content.find_first_of(" \t", position);
      tokens.push_back(content.substr(position, end - position));
      position = end;
    }
    if (tokens.empty()) return true;
    if (tokens.size() < 2 || tokens.size() > 3) return false;
    for (const OperationName& entry : kOperations) {
      if (tokens[0] != entry.name) continue;
      Behaviour behaviour;
      if (!ParseNumber(tokens[1], &behaviour.result)) return false;
      if (tokens.size() == 3) {
        // A flag on an operation without one is a mistake the tester should hear about.
        if (!entry.hasFlag || !ParseNumber(tokens[2], &behaviour.flag)) return false;
        behaviour.flagGiven = true;
      }
      m_behaviours[static_cast<size_t>(entry.operation)] = behaviour;
      return true;
    }
    return false;
  }

  Behaviour m_behaviours[kOperationCount];
  std::vector<std::string> m_errors;
};

class SimulatedControl final : public contract::INetMeetingControl {
 public:
  SimulatedControl(Script script, CallLog log)
      : m_script(std::move(script)), m_log(std::move(log)) {
    InterlockedIncrement(&g_moduleRefs);
  }

  contract::Result SARNIVOX_COMCALL QueryInterface(const contract::Guid& iid,
                                                   void** object) override {
    contract::Result result = E_NOINTERFACE;
    if (object == nullptr) {
      result = E_POINTER;
    } else if (SameGuid(iid, kIidUnknown) || SameGuid(iid, contract::kIidNetMeetingControl)) {
      InterlockedIncrement(&m_refs);
      *object = static_cast<contract::INetMeetingControl*>(this);
      result = S_OK;
    } else {
      *object = nullptr;
    }
    m_log.Write("QueryInterface " + GuidText(iid) + " -> " + HexResult(result));
    return result;
  }

  uint32_t SARNIVOX_COMCALL AddRef() override {
    const auto refs = static_cast<uint32_t>(InterlockedIncrement(&m_refs));
    m_log.Write("AddRef refs=" + std::to_string(refs));
    return refs;
  }

  uint32_t SARNIVOX_COMCALL Release() override {
    const auto refs = static_cast<uint32_t>(InterlockedDecrement(&m_refs));
    m_log.Write("Release refs=" + std::to_string(refs));
    if (refs == 0) delete this;
    return refs;
  }

  contract::Result SARNIVOX_COMCALL Unused3() override { return Unused("Unused3"); }
  contract::Result SARNIVOX_COMCALL Unused4() override { return Unused("Unused4"); }
  contract::Result SARNIVOX_COMCALL Unused5() override { return Unused("Unused5"); }
  contract::Result SARNIVOX_COMCALL Unused6() override { return Unused("Unused6"); }
  contract::Result SARNIVOX_COMCALL Unused9() override { return Unused("Unused9"); }

  contract::Result SARNIVOX_COMCALL UpdateConfiguration(contract::WideString p1,
                                                        contract::WideString p2,
                                                        contract::WideString p3,
                                                        contract::WideString p4,
                                                        contract::WideString p5) override {
    return Answer(Operation::kUpdateConfiguration,
                  "UpdateConfiguration" + Arguments(p1, p2, p3, p4, p5), nullptr);
  }

  contract::Result SARNIVOX_COMCALL CheckConfiguration(
      contract::WideString p1, contract::WideString p2, contract::WideString p3,
      contract::WideString p4, contract::WideString p5, contract::Flag* matches) override {
    return Answer(Operation::kCheckConfiguration,
                  "CheckConfiguration" + Arguments(p1, p2, p3, p4, p5), matches);
  }

  contract::Result SARNIVOX_COMCALL IsInstalled(contract::Flag* installed) override {
    return Answer(Operation::kIsInstalled, "IsInstalled", installed);
  }

  contract::Result SARNIVOX_COMCALL Start(contract::Flag* started) override {
    return Answer(Operation::kStart, "Start", started);
  }

  contract::Result SARNIVOX_COMCALL Stop() override {
    return Answer(Operation::kStop, "Stop", nullptr);
  }

 private:
  ~SimulatedControl() { InterlockedDecrement(&g_moduleRefs); }

  static std::string Arguments(contract::WideString p1, contract::WideString p2,
                               contract::WideString p3, contract::WideString p4,
                               contract::WideString p5) {
    std::string text;
    for (contract::WideString argument : {p1, p2, p3, p4, p5}) text += " " + BstrText(argument);
    return text;
  }

  contract::Result Unused(const char* name) {
    m_log.Write(std::string(name) + " -> " + HexResult(E_NOTIMPL));
    return E_NOTIMPL;
  }

  // flagOut is null for operations without an out-flag.
  contract::Result Answer(Operation operation, std::string line, contract::Flag* flagOut) {
    const Behaviour& behaviour = m_script.For(operation);
    auto result = static_cast<contract::Result>(behaviour.result);
    bool writeFlag = HasFlag(operation) && (behaviour.result == 0 || behaviour.flagGiven);
    if (writeFlag && flagOut == nullptr) {
      result = E_POINTER;
      writeFlag = false;
    }
    line += " -> " + HexResult(result);
    if (writeFlag) {
      *flagOut = static_cast<contract::Flag>(behaviour.flag);
      line += " flag=" + std::to_string(*flagOut);
    }
    m_log.Write(line);
    return result;
  }

  LONG m_refs = 1;
  Script m_script;
  CallLog m_log;
};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

  // A single static factory: its references only keep the DLL loaded.
  ULONG STDMETHODCALLTYPE AddRef() override {
    InterlockedIncrement(&g_moduleRefs);
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    InterlockedDecrement(&g_moduleRefs);
    return 1;
  }

  // The object starts with the caller's one reference, taken here directly rather than
  // through the logged AddRef/QueryInterface, so only the client's own calls are logged.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    Script script = Script::FromEnvironment();
    CallLog log(EnvironmentValue(kLogVariable));
    for (const std::string& error : script.Errors()) log.Write(error);
    auto result = static_cast<HRESULT>(script.For(Operation::kCreate).result);
    if (result == S_OK && outer != nullptr) result = CLASS_E_NOAGGREGATION;
    if (result == S_OK && !SameGuid(iid, kIidUnknown) &&
        !SameGuid(iid, contract::kIidNetMeetingControl))
      result = E_NOINTERFACE;
    SimulatedControl* control = nullptr;
    if (result == S_OK) {
      control = new (std::nothrow) SimulatedControl(std::move(script), log);
      if (control == nullptr) result = E_OUTOFMEMORY;
    }
    log.Write("Create -> " + HexResult(result));
    if (control != nullptr) *object = static_cast<contract::INetMeetingControl*>(control);
    return result;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_moduleRefs);
    else
      InterlockedDecrement(&g_moduleRefs);
    return S_OK;
  }
};

ClassFactory g_factory;

// The full path of this DLL, whatever process loaded it.
bool OwnPath(std::string* path) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&g_moduleRefs), &self))
    return false;
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(self, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      buffer.resize(length);
      *path = buffer;
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!SameGuid(clsid, contract::kClsidNetMeetingControl)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
  return InterlockedCompareExchange(&g_moduleRefs, 0, 0) == 0 ? S_OK : S_FALSE;
}

// Per user, so registering needs no administrator.
STDAPI DllRegisterServer() {
  std::string path;
  if (!OwnPath(&path)) return HRESULT_FROM_WIN32(GetLastError());
  RegistryKey classKey;
  LSTATUS status = classKey.Create(HKEY_CURRENT_USER, kClsidKey);
  if (status == ERROR_SUCCESS) status = classKey.SetString(nullptr, kFriendlyName);
  RegistryKey serverKey;
  if (status == ERROR_SUCCESS) status = serverKey.Create(classKey.Get(), "InprocServer32");
  if (status == ERROR_SUCCESS) status = serverKey.SetString(nullptr, path);
  if (status == ERROR_SUCCESS) status = serverKey.SetString("ThreadingModel", "Apartment");
  return HRESULT_FROM_WIN32(status);
}

STDAPI DllUnregisterServer() {
  const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, kClsidKey);
  // Already gone is what unregistering wants.
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}
