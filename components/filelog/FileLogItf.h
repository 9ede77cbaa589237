// The diagnostic log component's interface: open a log file once, then write trace lines to it.
#pragma once

#include "com.h"

// Class id of the log component.
inline constexpr CLSID CLSID_FileLog = {0x495BAE5C, 0x0AC3, 0x44BE, {0x89, 0x32, 0xCA, 0x5D, 0x57, 0xF3, 0x02, 0x78}};
// Interface id of IFileLog.
inline constexpr IID IID_IFileLog = {0xCCAE92AD, 0xA5D2, 0x491B, {0x9C, 0x4B, 0x7A, 0xCF, 0xFD, 0xAE, 0x22, 0x1D}};

struct IFileLog : IUnknown {
    // Opens (creating if needed) the log file for appending; 1 on success, 0 otherwise.
    virtual BYTE Open(const char* path) = 0;
    // Appends one time-stamped line; a line written while no file is open is dropped.
    virtual HRESULT Write(const char* line) = 0;

protected:
    ~IFileLog() = default;
};
