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

// Whichever of comma, tab and semicolon the first line holds most of outside quotes; a comma on a tie
// with it, and when none.
char SeparatorOfFirstLine(std::string_view text) {
    constexpr char kCandidates[] = {',', '\t', ';'};
    std::size_t counts[std::size(kCandidates)] = {};
    bool quoted = false;
    for (const char c : text.substr(std::min(text.find_first_not_of("\r\n"), text.size()))) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && IsLineBreak(c))
            break;
        for (std::size_t candidate = 0; candidate < std::size(kCandidates); ++candidate)
            counts[candidate] += !quoted && c == kCandidates[candidate];
    }
    const std::size_t most = std::size_t(std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts));
    return kCandidates[most];
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

bool CsvReader::Bad(const std::string& what) {
    m_problem = what;
    m_buffer.clear();
    m_fields.clear();
    // Reading goes on at the line after the one the record started on.
    const std::size_t lineEnd = std::min(m_text.find_first_of("\r\n", m_recordStart), m_text.size());
    m_at = lineEnd;
    m_line = m_recordLine;
    SkipLineBreak();
    return true;
}

void CsvReader::ReadVerbatimExcept(std::size_t quotedColumn) {
    m_verbatim = true;
    m_quotedColumn = quotedColumn;
}

bool CsvReader::Next() {
    m_buffer.clear();
    m_fields.clear();
    m_problem.clear();
    if (!m_failure.empty())
        return false;
    while (m_at < m_text.size() && IsLineBreak(m_text[m_at]))
        SkipLineBreak();
    if (m_at == m_text.size())
        return false;
    m_recordLine = m_line;
    m_recordStart = m_at;
    for (;;) {
        const std::size_t begin = m_buffer.size();
        const bool quoted = !m_verbatim || m_fields.size() == m_quotedColumn;
        if (quoted && m_at < m_text.size() && m_text[m_at] == '"') {
            if (!ReadQuotedEitherWay())
                return Bad(m_problem);
        } else {
            ReadUnquoted();
        }
        if (m_fields.size() == kMaxCsvColumns)
            return Bad("more than " + std::to_string(kMaxCsvColumns) + " columns");
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

// RFC 4180 first; where that cannot end the field, \" as a quote. Problem says why neither did.
bool CsvReader::ReadQuotedEitherWay() {
    const std::size_t at = m_at;
    const std::size_t line = m_line;
    const std::size_t buffered = m_buffer.size();
    if (ReadQuoted(false))
        return true;
    const std::string rfcProblem = m_problem;
    m_at = at;
    m_line = line;
    m_buffer.resize(buffered);
    if (ReadQuoted(true)) {
        m_problem.clear();
        return true;
    }
    m_problem = rfcProblem;
    return false;
}

bool CsvReader::ReadQuoted(bool backslashEscapes) {
    ++m_at;
    for (;;) {
        const std::size_t quote = m_text.find('"', m_at);
        if (quote == std::string_view::npos) {
            m_problem = "a quoted field is not closed before the end of the file";
            return false;
        }
        const bool escaped = backslashEscapes && quote > m_at && m_text[quote - 1] == '\\';
        Append(m_text.substr(m_at, quote - m_at - (escaped ? 1 : 0)));
        m_line += LineBreaksIn(m_text, m_at, quote);
        m_at = quote + 1;
        if (escaped) {
            Append("\"");
            continue;
        }
        if (m_at == m_text.size() || m_text[m_at] != '"')
            break;
        // A doubled quote stands for one.
        Append("\"");
        ++m_at;
    }
    if (m_at < m_text.size() && m_text[m_at] != m_separator && !IsLineBreak(m_text[m_at])) {
        m_problem = "text follows the closing quote of a field (a quote inside a quoted field must be doubled)";
        return false;
    }
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
