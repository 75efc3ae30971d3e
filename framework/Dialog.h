// Modal dialogs from resource templates: the object is bound to its window at WM_INITDIALOG,
// and F1 is turned into the application's Help command while the dialog runs.
#pragma once

#include "framework/WinApp.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // IDOK, IDCANCEL or the code given to EndDialog; -1 when the dialog cannot be shown.
  virtual INT_PTR DoModal();

  // Help contexts of dialogs are the resource base plus the template number.
  DWORD GetHelpContext() const override { return 0x20000 + m_templateId; }

 protected:
  // Default: centres the dialog on the work area unless its template places it.
  virtual BOOL OnInitDialog();
  // Gives a handler the message; true when handled, with `result` the dialog procedure's value.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CenterOnWorkArea();

  UINT m_templateId;
  CWnd* m_parent;
};
