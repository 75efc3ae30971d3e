// Modal dialog machinery on DialogBoxParamA, with the help key and work-area centring.
#include "framework/Dialog.h"

namespace {

bool IsKeyDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

// While a modal dialog runs, F1 without Shift, Ctrl or Alt becomes the Help command.
LRESULT CALLBACK HelpKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && message->message == WM_KEYDOWN && message->wParam == VK_F1 &&
      !IsKeyDown(VK_SHIFT) && !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_MENU)) {
    AfxGetApp()->OnCmdMsg(ID_HELP);
    return TRUE;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MessageFilterHook {
 public:
  MessageFilterHook()
      : m_hook(SetWindowsHookExA(WH_MSGFILTER, HelpKeyFilter, nullptr, GetCurrentThreadId())) {}
  ~MessageFilterHook() {
    if (m_hook != nullptr) UnhookWindowsHookEx(m_hook);
  }
  MessageFilterHook(const MessageFilterHook&) = delete;
  MessageFilterHook& operator=(const MessageFilterHook&) = delete;

 private:
  HHOOK m_hook;
};

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  const MessageFilterHook helpKey;
  HWND parent = m_parent != nullptr ? m_parent->m_hWnd : nullptr;
  return DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
  const LONG placement = DS_ABSALIGN | DS_CENTER | DS_CENTERMOUSE;
  if ((GetWindowLongA(m_hWnd, GWL_STYLE) & placement) == 0) CenterOnWorkArea();
  return TRUE;
}

void CDialog::CenterOnWorkArea() {
  RECT area;
  RECT window;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(m_hWnd, &window)) {
    return;
  }
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int left = (area.left + area.right) / 2 - width / 2;
  int top = (area.top + area.bottom) / 2 - height / 2;
  // Back inside the work area where it sticks out; the top-left corner wins.
  if (left + width > area.right) left = area.right - width;
  if (left < area.left) left = area.left;
  if (top + height > area.bottom) top = area.bottom - height;
  if (top < area.top) top = area.top;
  SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  // Escape, the close box and Alt+F4 arrive here as IDCANCEL, Enter as the default button.
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(m_hWnd, LOWORD(wParam));
    result = TRUE;
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    dialog->m_hWnd = nullptr;
    return FALSE;
  }
  INT_PTR result = FALSE;
  return dialog->OnMessage(message, wParam, lParam, result) ? result : FALSE;
}
