// Splits a command line into at most 25 tokens; used to find the executable's own path.
#pragma once

#include <memory>

class CCommandLineTokens {
public:
    // Most tokens kept; the character that would start one more ends the walk.
    static constexpr int kMaxTokens = 25;

    // Splits a copy of the command line; null counts as empty.
    explicit CCommandLineTokens(const char* commandLine);
    CCommandLineTokens(const CCommandLineTokens&) = delete;
    CCommandLineTokens& operator=(const CCommandLineTokens&) = delete;

    // The token at index i (0-based), or null outside 0..24 or beyond the tokens found.
    const char* GetToken(int i) const;
    // How many tokens were found.
    int GetCount() const { return m_nCount; }

private:
    void Split();

    std::unique_ptr<char[]> m_pBuffer;
    char* m_apTokens[kMaxTokens] = {};
    int m_nCount = 0;
};
