#include "CommandLineTokens.h"

#include <cstring>

CCommandLineTokens::CCommandLineTokens(const char* commandLine) {
    const char* line = commandLine ? commandLine : "";
    const std::size_t length = std::strlen(line);
    m_pBuffer = std::make_unique<char[]>(length + 1);
    std::memcpy(m_pBuffer.get(), line, length);
    m_pBuffer[length] = '\0';
    Split();
}

const char* CCommandLineTokens::GetToken(int i) const {
    return i >= 0 && i < kMaxTokens ? m_apTokens[i] : nullptr;
}

// Blanks separate tokens outside quotes; quotes never belong to a token and a closing quote ends
// one. Separators are overwritten with NUL so each token is a string inside the copy.
void CCommandLineTokens::Split() {
    bool inToken = false;
    bool inQuotes = false;
    for (char* p = m_pBuffer.get(); *p; ++p) {
        if (*p == ' ') {
            if (!inQuotes && inToken) {
                *p = '\0';
                inToken = false;
            }
        } else if (*p == '"') {
            inQuotes = !inQuotes;
            if (inToken) {
                *p = '\0';
                inToken = false;
            } else {
                if (m_nCount == kMaxTokens || p[1] == '\0')
                    return;
                m_apTokens[m_nCount++] = p + 1;
                inToken = true;
            }
        } else if (!inToken) {
            if (m_nCount == kMaxTokens)
                return;
            m_apTokens[m_nCount++] = p;
            inToken = true;
        }
    }
}
