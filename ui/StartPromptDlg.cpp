// The start confirmation dialog's handlers: icons, minimised painting, the drag icon.
#include "ui/StartPromptDlg.h"

namespace {

class PaintContext {
 public:
  explicit PaintContext(HWND window) : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
  ~PaintContext() { EndPaint(m_window, &m_paint); }
  PaintContext(const PaintContext&) = delete;
  PaintContext& operator=(const PaintContext&) = delete;

  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  PAINTSTRUCT m_paint{};
  HDC m_dc;
};

}  // namespace

CStartPromptDlg::CStartPromptDlg(CWnd* parent)
    : CDialog(IDD, parent),
      m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_APPICON))) {}

BOOL CStartPromptDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  return TRUE;
}

bool CStartPromptDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_PAINT:
      if (!OnPaint()) return false;
      result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      // One of the few dialog messages whose value is returned directly.
      result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
      return true;
    default:
      return CDialog::OnMessage(message, wParam, lParam, result);
  }
}

bool CStartPromptDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return false;
  const PaintContext paint(m_hWnd);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(paint.Get(), x, y, m_hIcon);
  return true;
}
