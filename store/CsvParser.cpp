#include "CsvParser.h"

#include <algorithm>

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// How many lines the bytes end: each LF, and each CR not followed by one (here or after the bytes).
std::size_t LineBreaksIn(std::string_view text, std::size_t begin, std::size_t end) {
    std::size_t breaks = 0;
    for (std::size_t i = begin; i < end; ++i)
        breaks += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    return breaks;
}

// A tab when the first line holds more tabs than commas outside quotes, a comma otherwise.
char SeparatorOfFirstLine(std::string_view text) {
    std::size_t commas = 0;
    std::size_t tabs = 0;
    bool quoted = false;
    for (const char c : text.substr(std::min(text.find_first_not_of("\r\n"), text.size()))) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && IsLineBreak(c))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == '\t')
            ++tabs;
    }
    return tabs > commas ? '\t' : ',';
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

} // namespace

std::string AsciiLowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

bool StartsAsXmlDocument(std::string_view text) {
    if (StartsWith(text, kUtf8ByteOrderMark))
        text.remove_prefix(kUtf8ByteOrderMark.size());
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '<';
}

bool ReadImportFile(const std::string& path, SecretBytes& bytes, std::string& reason) {
    return ReadRegularFile(path, kMaxImportFileBytes, bytes, reason);
}

CsvReader::CsvReader(std::string_view text) : m_text(text) {
    m_buffer.reserve(4096);
    if (StartsWith(text, "\xFF\xFE") || StartsWith(text, "\xFE\xFF")) {
        Refuse(1, "UTF-16 text; only UTF-8 text can be read");
        return;
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        Refuse(1 + LineBreaksIn(text, 0, nul), "a NUL byte, which a text file never holds");
        return;
    }
    if (StartsWith(text, kUtf8ByteOrderMark))
        m_at = kUtf8ByteOrderMark.size();
    m_separator = SeparatorOfFirstLine(text.substr(m_at));
}

bool CsvReader::Refuse(std::size_t line, const std::string& what) {
    m_failure = "line " + std::to_string(line) + ": " + what;
    m_buffer.clear();
    m_fields.clear();
    m_at = m_text.size();
    return false;
}

bool CsvReader::Next() {
    m_buffer.clear();
    m_fields.clear();
    if (!m_failure.empty())
        return false;
    while (m_at < m_text.size() && IsLineBreak(m_text[m_at]))
        SkipLineBreak();
    if (m_at == m_text.size())
        return false;
    m_recordLine = m_line;
    for (;;) {
        const std::size_t begin = m_buffer.size();
        if (m_at < m_text.size() && m_text[m_at] == '"') {
            if (!ReadQuoted())
                return false;
        } else {
            ReadUnquoted();
        }
        if (m_fields.size() == kMaxCsvColumns)
            return Refuse(m_recordLine, "more than " + std::to_string(kMaxCsvColumns) + " columns");
        m_fields.emplace_back(begin, m_buffer.size());
        if (m_at < m_text.size() && m_text[m_at] == m_separator) {
            ++m_at;
            continue;
        }
        SkipLineBreak();
        return true;
    }
}

std::string_view CsvReader::Field(std::size_t column) const {
    if (column >= m_fields.size())
        return {};
    const auto [begin, end] = m_fields[column];
    return {m_buffer.data() + begin, end - begin};
}

bool CsvReader::ReadQuoted() {
    const std::size_t openedOn = m_line;
    ++m_at;
    for (;;) {
        const std::size_t quote = m_text.find('"', m_at);
        if (quote == std::string_view::npos)
            return Refuse(openedOn, "a quoted field is not closed before the end of the file");
        Append(m_text.substr(m_at, quote - m_at));
        m_line += LineBreaksIn(m_text, m_at, quote);
        m_at = quote + 1;
        if (m_at == m_text.size() || m_text[m_at] != '"')
            break;
        // A doubled quote stands for one.
        Append("\"");
        ++m_at;
    }
    if (m_at < m_text.size() && m_text[m_at] != m_separator && !IsLineBreak(m_text[m_at]))
        return Refuse(m_line, "text follows the closing quote of a field (a quote inside a quoted field must be "
                              "doubled)");
    return true;
}

void CsvReader::ReadUnquoted() {
    const char stops[] = {m_separator, '\r', '\n'};
    const std::size_t end = std::min(m_text.find_first_of(std::string_view(stops, 3), m_at), m_text.size());
    Append(m_text.substr(m_at, end - m_at));
    m_at = end;
}

void CsvReader::Append(std::string_view bytes) {
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

void CsvReader::SkipLineBreak() {
    if (m_at < m_text.size() && m_text[m_at] == '\r')
        ++m_at;
    if (m_at < m_text.size() && m_text[m_at] == '\n')
        ++m_at;
    ++m_line;
}
