#pragma once

#include "modepages/mode_page.h"

// The twelve pages of the sheet, in the order the sheet constructs them;
// each is its field table (mode_page_family.cpp).

// Page 00h.
class CUnitAttention final : public CModePage {
public:
    CUnitAttention();
};

// Page 01h.
class CErrorRecovery final : public CModePage {
public:
    CErrorRecovery();
};

// Page 02h.
class CDiscReconnect final : public CModePage {
public:
    CDiscReconnect();
};

// Page 03h.
class CFormatParmPage final : public CModePage {
public:
    CFormatParmPage();
};

// Page 04h.
class CDriveGeometry final : public CModePage {
public:
    CDriveGeometry();
};

// Page 07h.
class CVerifyErrRecovParms final : public CModePage {
public:
    CVerifyErrRecovParms();
};

// Page 08h.
class CCachingParms final : public CModePage {
public:
    CCachingParms();
};

// Page 0Ah.
class CControlMode final : public CModePage {
public:
    CControlMode();
};

// Page 0Ch.
class CNotch final : public CModePage {
public:
    CNotch();
};

// Page 0Dh or 1Ah, as the drive reports it.
class CPowerCondition final : public CModePage {
public:
    CPowerCondition();
};

// Page 10h.
class CXorControlMode final : public CModePage {
public:
    CXorControlMode();
};

// Page 1Ch.
class CInformExcepControl final : public CModePage {
public:
    CInformExcepControl();
};
