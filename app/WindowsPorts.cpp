// Win32 and COM behind the run's ports.
#include "app/WindowsPorts.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <climits>

#include "ui/StartPromptDlg.h"

static_assert(sizeof(contract::Guid) == sizeof(GUID), "Guid must have the layout of GUID");
static_assert(sizeof(contract::WideChar) == sizeof(OLECHAR), "BSTR characters are UTF-16");

contract::Result WindowsComRuntime::Initialize() { return CoInitialize(nullptr); }

void WindowsComRuntime::Uninitialize() { CoUninitialize(); }

contract::Result WindowsComRuntime::CreateComponent(contract::INetMeetingControl** component) {
  return CoCreateInstance(reinterpret_cast<REFCLSID>(contract::kClsidNetMeetingControl), nullptr,
                          CLSCTX_INPROC_SERVER,
                          reinterpret_cast<REFIID>(contract::kIidNetMeetingControl),
                          reinterpret_cast<void**>(component));
}

contract::WideString BstrStrings::Allocate(std::string_view narrow) {
  if (narrow.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  const int narrowLength = static_cast<int>(narrow.size());
  // An empty value is an empty BSTR, never a null pointer.
  int length = 0;
  if (narrowLength > 0) {
    length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, nullptr, 0);
    if (length == 0) return nullptr;
  }
  BSTR value = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (value == nullptr) return nullptr;
  if (length > 0 &&
      MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrowLength, value, length) != length) {
    SysFreeString(value);
    return nullptr;
  }
  return value;
}

void BstrStrings::Free(contract::WideString value) { SysFreeString(value); }

void MessageBoxDisplay::Show(const std::string& text) {
  MessageBoxA(GetFocus(), text.c_str(), "Sarnivox", MB_OK | MB_ICONINFORMATION);
}

namespace {

class DialogStartPrompt : public StartPrompt {
 public:
  int DoModal() override { return static_cast<int>(m_dialog.DoModal()); }
  CStartPromptDlg& Dialog() { return m_dialog; }

 private:
  CStartPromptDlg m_dialog;
};

}  // namespace

std::unique_ptr<StartPrompt> StartPromptDialogs::Create() {
  auto prompt = std::make_unique<DialogStartPrompt>();
  m_application.m_pMainWnd = &prompt->Dialog();
  return prompt;
}

void ApplicationMainWindow::Clear() { m_application.m_pMainWnd = nullptr; }
