// MinimalStop.exe: the smallest client of the NetMeeting control component. It creates the
// component, calls Stop once and exits 0 only if every step succeeded.

// Also brings in the COM and automation declarations (ole2.h).
#include <windows.h>

#include <utility>

#include "app/NetMeetingControl.h"

namespace {

// Which step failed, so a test can tell them apart.
enum ExitCode : int { kSucceeded = 0, kInitializeFailed = 1, kCreateFailed = 2, kStopFailed = 3 };

GUID ToSystemGuid(const contract::Guid& g) {
  GUID result = {g.data1, g.data2, g.data3, {}};
  for (int i = 0; i < 8; ++i) result.Data4[i] = g.data4[i];
  return result;
}

// Leaves the apartment only if entering it succeeded.
class ComApartment {
 public:
  ComApartment() : m_result(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ComApartment(ComApartment&& other) noexcept
      : m_result(std::exchange(other.m_result, CO_E_NOTINITIALIZED)) {}
  ComApartment& operator=(ComApartment&& other) noexcept {
    std::swap(m_result, other.m_result);
    return *this;
  }
  bool Entered() const { return SUCCEEDED(m_result); }

 private:
  HRESULT m_result;
};

// Owns one reference to the component.
class ControlPointer {
 public:
  ControlPointer() = default;
  ~ControlPointer() {
    if (m_control != nullptr) m_control->Release();
  }
  ControlPointer(const ControlPointer&) = delete;
  ControlPointer& operator=(const ControlPointer&) = delete;
  ControlPointer(ControlPointer&& other) noexcept
      : m_control(std::exchange(other.m_control, nullptr)) {}
  ControlPointer& operator=(ControlPointer&& other) noexcept {
    std::swap(m_control, other.m_control);
    return *this;
  }

  HRESULT Create() {
    const GUID clsid = ToSystemGuid(contract::kClsidNetMeetingControl);
    const GUID iid = ToSystemGuid(contract::kIidNetMeetingControl);
    void* object = nullptr;
    const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object);
    m_control = static_cast<contract::INetMeetingControl*>(object);
    return result;
  }
  contract::INetMeetingControl* operator->() const { return m_control; }
  explicit operator bool() const { return m_control != nullptr; }

 private:
  contract::INetMeetingControl* m_control = nullptr;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const ComApartment apartment;
  if (!apartment.Entered()) return kInitializeFailed;
  ControlPointer control;
  // Only 0 is success in this contract, so a positive code fails too.
  if (control.Create() != S_OK || !control) return kCreateFailed;
  return control->Stop() == 0 ? kSucceeded : kStopFailed;
}
