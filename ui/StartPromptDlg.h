// The start confirmation dialog: asks whether NetMeeting is to be started.
// Yes ends it with IDOK; No, Escape and the close box with IDCANCEL.
#pragma once

#include "framework/Dialog.h"
#include "ui/resource.h"

class CStartPromptDlg : public CDialog {
 public:
  enum { IDD = IDD_START_PROMPT };

  explicit CStartPromptDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  // Runs for WM_PAINT; draws the icon only while minimised.
  bool OnPaint();
  // Runs for WM_QUERYDRAGICON: the cursor shown while the minimised window is dragged.
  HCURSOR OnQueryDragIcon() const { return m_hIcon; }

  HICON m_hIcon;  // shared resource icon: never destroyed
};
