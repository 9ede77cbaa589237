// Reading comma-, semicolon- or tab-separated text, as RFC 4180 describes it and as password
// managers, browsers and spreadsheets export it. The text is read as bytes (the caller makes it
// UTF-8 first). The reader holds the text's fields, passwords among them; its storage is zeroed
// when given back.
//
// How the text is read:
// - The separator is the first line's: whichever of comma, tab and semicolon it holds most of
//   outside quotes, as spreadsheets find it; a comma when none.
// - A field whose first character is a double quote is quoted: it runs to the next quote that is not
//   doubled ("" stands for one quote), and may hold separators and line breaks. Only a separator or
//   the end of the line may follow its closing quote. Where that fails, the field is read again with
//   \" standing for a quote, as 1Password writes it; a field RFC 4180 reads is always read so.
// - A quote inside a field that does not start with one is an ordinary character: pass"word is read
//   as it stands, as sloppy exporters write it.
// - A record ends at CR LF, LF or a lone CR outside quotes; the last one may lack its line break.
//   Empty lines are no records. A UTF-8 byte-order mark at the start is skipped.
// - A record that cannot be read (a quoted field left open, text after a closing quote that no
//   reading explains, more than kMaxCsvColumns fields) is bad: it has no fields, Problem says why,
//   and reading goes on at the line after the one it started on.
// - A NUL byte refuses the whole text (it is binary), with the reason and no record.
#pragma once

#include "xmldom_files.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The largest file an import reads, as large as a book may be.
inline constexpr std::size_t kMaxImportFileBytes = 64 * 1024 * 1024;

// The most fields a record may have; exports have a few dozen at most.
inline constexpr std::size_t kMaxCsvColumns = 1000;

// The text with ASCII capitals made small, other bytes as they are: header names and file names are
// compared this way, whatever their case.
std::string AsciiLowercase(std::string_view text);

// Whether the text starts as an XML document does (after a byte-order mark and blanks, with '<'), as
// every account book does and no export's header line.
bool StartsAsXmlDocument(std::string_view text);

// Reads the file to import into bytes: only a regular file (links are followed, so a link to a
// device is refused), opened without waiting (a pipe cannot hold the caller up), and only up to
// kMaxImportFileBytes, checked before reading. False with the reason, bytes then empty and the
// storage they had zeroed.
bool ReadImportFile(const std::string& path, SecretBytes& bytes, std::string& reason);

// Reads the records of a text one at a time.
class CsvReader {
public:
    // Reads the text, which the caller keeps unchanged while the reader lives.
    explicit CsvReader(std::string_view text);
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // Moves to the next record, which may be bad. False at the end of the text, and when the text is
    // refused (Failure then says why); a refused text gives no record from then on.
    bool Next();
    // Why the current record is bad; empty when it is not.
    const std::string& Problem() const { return m_problem; }
    // From the next record on, reads every field as it stands up to the next separator or line
    // break, quotes included, but the column's (counted from 0; none when out of range), which is
    // read as usual: Password Safe's text export quotes only its Notes.
    void ReadVerbatimExcept(std::size_t quotedColumn);
    // The current record's number of fields.
    std::size_t Columns() const { return m_fields.size(); }
    // The current record's field in the column, counted from 0; empty past its last field. The text
    // stays valid until the next call of Next.
    std::string_view Field(std::size_t column) const;
    // The line the current record starts on, counted from 1.
    std::size_t Line() const { return m_recordLine; }
    // The separator chosen from the first line.
    char Separator() const { return m_separator; }
    // Why the text was refused; empty while it was not.
    const std::string& Failure() const { return m_failure; }

private:
    bool Refuse(std::size_t line, const std::string& what);
    bool Bad(const std::string& what);
    bool ReadQuoted(bool backslashEscapes);
    bool ReadQuotedEitherWay();
    void ReadUnquoted();
    void Append(std::string_view bytes);
    void SkipLineBreak();

    std::string_view m_text;
    std::size_t m_at = 0;   // where reading goes on
    std::size_t m_line = 1; // the line of m_at
    std::size_t m_recordLine = 0;
    std::size_t m_recordStart = 0; // where the current record starts in the text
    char m_separator = ',';
    bool m_verbatim = false;
    std::size_t m_quotedColumn = 0;                            // the one column read as usual while m_verbatim
    SecretBytes m_buffer;                                      // the current record's field texts, one after another
    std::vector<std::pair<std::size_t, std::size_t>> m_fields; // each field's start and end in m_buffer
    std::string m_failure;
    std::string m_problem;
};
