// The contract of the outside NetMeeting control component: identifiers, slot order and
// calling convention. Portable: the native build uses the same layout with char16_t strings.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define SARNIVOX_COMCALL __stdcall
#else
#define SARNIVOX_COMCALL
#endif

namespace contract {

#if defined(_WIN32)
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif

// A BSTR: length-prefixed UTF-16, owned by the caller of the operation.
using WideString = WideChar*;

// Same layout as the system's GUID, so a pointer to one can be handed to COM.
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

// {7B956261-C955-11D0-9225-006097498625}
inline constexpr Guid kClsidNetMeetingControl = {
    0x7B956261, 0xC955, 0x11D0, {0x92, 0x25, 0x00, 0x60, 0x97, 0x49, 0x86, 0x25}};
// {7B95625E-C955-11D0-9225-006097498625}
inline constexpr Guid kIidNetMeetingControl = {
    0x7B95625E, 0xC955, 0x11D0, {0x92, 0x25, 0x00, 0x60, 0x97, 0x49, 0x86, 0x25}};

// Result codes: 0 alone is success; every other value, positive ones included, is failure.
using Result = int32_t;
// Out-flags: written by the component when it returns 0; nonzero means yes.
using Flag = int32_t;

// The slot order is the binary contract; declaration order fixes it. Slots the handler never
// calls are declared without arguments only to hold their places.
struct INetMeetingControl {
  virtual Result SARNIVOX_COMCALL QueryInterface(const Guid& iid, void** object) = 0;  // 0
  virtual uint32_t SARNIVOX_COMCALL AddRef() = 0;                                      // 1
  virtual uint32_t SARNIVOX_COMCALL Release() = 0;                                     // 2
  virtual Result SARNIVOX_COMCALL Unused3() = 0;
  virtual Result SARNIVOX_COMCALL Unused4() = 0;
  virtual Result SARNIVOX_COMCALL Unused5() = 0;
  virtual Result SARNIVOX_COMCALL Unused6() = 0;
  virtual Result SARNIVOX_COMCALL UpdateConfiguration(WideString param1, WideString param2,
                                                      WideString param3, WideString param4,
                                                      WideString param5) = 0;  // 7
  virtual Result SARNIVOX_COMCALL CheckConfiguration(WideString param1, WideString param2,
                                                     WideString param3, WideString param4,
                                                     WideString param5,
                                                     Flag* configurationMatches) = 0;  // 8
  virtual Result SARNIVOX_COMCALL Unused9() = 0;
  virtual Result SARNIVOX_COMCALL IsInstalled(Flag* installed) = 0;  // 10
  virtual Result SARNIVOX_COMCALL Start(Flag* started) = 0;          // 11
  virtual Result SARNIVOX_COMCALL Stop() = 0;                        // 12

 protected:
  ~INetMeetingControl() = default;
};

}  // namespace contract
