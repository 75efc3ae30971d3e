// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_START_PROMPT 102
#define IDI_APPICON 128

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
