#include "ExportImport.h"

#include "BitwardenJsonImport.h"
#include "CsvImport.h"
#include "CsvParser.h"
#include "ImportEncoding.h"
#include "KeePassXmlImport.h"

namespace {

std::string ConversionNote(TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252)
        return "The file is not all UTF-8: what is not was read as Windows-1252 and converted.";
    return std::string("The file is ") + NameOfEncoding(encoding) + ": its text was converted to UTF-8.";
}

bool PlanText(std::string_view bytes, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    if (IsKeePassXml(bytes))
        return PlanKeePassXmlImport(bytes, list, plan, reason);
    TextEncoding encoding = TextEncoding::Utf8;
    SecretBytes converted;
    if (!ConvertToUtf8(bytes, encoding, converted, reason))
        return false;
    const std::string_view text =
        encoding == TextEncoding::Utf8 ? bytes : std::string_view(converted.data(), converted.size());
    const bool planned = StartsAsJsonObject(text) ? PlanBitwardenJsonImport(text, list, plan, reason)
                                                  : PlanCsvImport(text, list, plan, reason);
    if (planned && encoding != TextEncoding::Utf8)
        plan.conversion = ConversionNote(encoding);
    return planned;
}

} // namespace

bool PlanExportImport(std::string_view bytes, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    if (PlanText(bytes, list, plan, reason))
        return true;
    plan.Clear();
    return false;
}

bool PlanExportFileImport(const std::string& path, const EntryIndex& list, ImportPlan& plan, std::string& reason) {
    SecretBytes bytes;
    if (!ReadImportFile(path, bytes, reason)) {
        plan.Clear();
        return false;
    }
    return PlanExportImport({bytes.data(), bytes.size()}, list, plan, reason);
}

void PlanBookImport(const AccountBook& book, const EntryIndex& list, ImportPlan& plan) {
    ImportPlanBuilder builder(list, plan, kAccountBookSource, "Entry");
    for (std::size_t row = 0; row < book.vecEntries.size(); ++row) {
        const EntryTexts texts = TextsOf(book.vecEntries[row]);
        builder.Offer(row + 1, texts.account, texts.password, texts.comment);
    }
}
