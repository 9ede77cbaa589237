// Shared helpers of the application shell tests: access to the start-up steps, clean globals,
// and temporary directories.
#pragma once

#include "ScratchDir.h"
#include "Globals.h"
#include "ManagerApp.h"
#include "testhooks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Opens up the start-up steps so each can be tested on its own.
class TestableApp : public CManagerApp {
public:
    using CManagerApp::InitAppDir;
    using CManagerApp::LoadSkin;
    using CManagerApp::OpenLog;
    using CManagerApp::ReadConfig;
    using CManagerApp::RegisterWndClass;
    using CManagerApp::WriteConfig;
};

// Puts the process-wide state back to what a fresh run starts with.
inline void ResetGlobals() {
    g_szAppDir[0] = '\0';
    g_nCol0Width = 150;
    g_nCol1Width = 150;
    g_pFileLog = nullptr;
}

inline void SetAppDir(const std::string& dir) {
    ASSERT_LT(dir.size(), MAX_PATH);
    dir.copy(g_szAppDir, dir.size());
    g_szAppDir[dir.size()] = '\0';
}

// A fresh, empty directory whose name holds a blank, as user folders may.
class TempDir : public ScratchDir {
public:
    TempDir() : ScratchDir("zelvo app") {}
};
